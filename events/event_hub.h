// The event hub: the subscribers of pushed messages and the queue of events
// the host callbacks raise for the vitals thread to deliver. A subscriber is
// anything that can take one pushed message (Subscriber), so nothing here
// knows sockets. Subscribers are kept by their key (the connection's socket
// number), in ascending order, under the hub's own lock; the queue has its own
// lock and condition. No lock is held while a subscriber is called.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace KEM {

class Subscriber {
 public:
  virtual ~Subscriber() = default;
  // Sends one pushed message; does nothing once the subscriber has gone.
  virtual void Deliver(std::string_view text) = 0;
  // Sends several pushed messages in order, as Deliver one after the other
  // would; a subscriber may write them together.
  virtual void DeliverAll(const std::vector<std::string>& texts) {
    for (const std::string& text : texts) Deliver(text);
  }
};

class EventHub {
 public:
  // Adds the subscriber under key once; a second subscription changes nothing.
  void Subscribe(uint64_t key, std::shared_ptr<Subscriber> subscriber);
  void Unsubscribe(uint64_t key);
  int32_t SubscriberCount() const { return mSubscriberCount.load(); }
  // A copy of the subscribers, in ascending key order.
  std::vector<std::shared_ptr<Subscriber>> Subscribers() const;

  // Queues an event for the vitals thread; dropped while nobody is subscribed.
  void QueueEvent(std::string text);
  // Waits until an event is queued, running turns false or the deadline
  // passes, then takes every queued event.
  std::vector<std::string> TakeEvents(std::chrono::steady_clock::time_point deadline,
                                      const std::atomic<bool>& running);
  // Wakes a TakeEvents that waits (after running turned false).
  void Wake();

 private:
  mutable std::mutex mSubscribersMutex;
  std::map<uint64_t, std::shared_ptr<Subscriber>> mSubscribers;
  std::atomic<int32_t> mSubscriberCount{0};
  std::mutex mEventMutex;
  std::vector<std::string> mEventQueue;
  std::condition_variable mEventCondition;
};

}  // namespace KEM
