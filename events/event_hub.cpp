#include "events/event_hub.h"

namespace KEM {

void EventHub::Subscribe(uint64_t key, std::shared_ptr<Subscriber> subscriber) {
  std::lock_guard<std::mutex> lock(mSubscribersMutex);
  if (mSubscribers.emplace(key, std::move(subscriber)).second) mSubscriberCount.fetch_add(1);
}

void EventHub::Unsubscribe(uint64_t key) {
  std::lock_guard<std::mutex> lock(mSubscribersMutex);
  if (mSubscribers.erase(key) > 0) mSubscriberCount.fetch_sub(1);
}

std::vector<std::shared_ptr<Subscriber>> EventHub::Subscribers() const {
  std::lock_guard<std::mutex> lock(mSubscribersMutex);
  std::vector<std::shared_ptr<Subscriber>> out;
  out.reserve(mSubscribers.size());
  for (const auto& entry : mSubscribers) out.push_back(entry.second);
  return out;
}

void EventHub::QueueEvent(std::string text) {
  if (mSubscriberCount.load() < 1) return;
  {
    std::lock_guard<std::mutex> lock(mEventMutex);
    mEventQueue.push_back(std::move(text));
  }
  mEventCondition.notify_one();
}

std::vector<std::string> EventHub::TakeEvents(std::chrono::steady_clock::time_point deadline,
                                              const std::atomic<bool>& running) {
  std::vector<std::string> events;
  std::unique_lock<std::mutex> lock(mEventMutex);
  while (mEventQueue.empty() && running) {
    if (mEventCondition.wait_until(lock, deadline) == std::cv_status::timeout) break;
  }
  events.swap(mEventQueue);
  return events;
}

void EventHub::Wake() {
  std::lock_guard<std::mutex> lock(mEventMutex);
  mEventCondition.notify_all();
}

}  // namespace KEM
