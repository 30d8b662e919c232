// Acquiring host suites and holding host resources. Every acquisition goes
// through the SP basic suite; every acquired suite, host string, segments handle
// and node is held by one of these wrappers so no early return can leak it.
#pragma once
#include <cstdint>
#include <utility>

#include "hostsdk/basic_suite.h"
#include "hostsdk/media_suites.h"
#include "hostsdk/string_suite.h"

namespace KEM {

// Acquires one suite and releases it with the same name and version. Counts as
// acquired only when the status is 0 and the table is non-null.
template <typename Table>
class ScopedSuite {
 public:
  ScopedSuite() = default;
  ScopedSuite(const SPBasicSuite* basic, const char* name, int32_t version) { Acquire(basic, name, version); }
  ~ScopedSuite() { Reset(); }
  ScopedSuite(const ScopedSuite&) = delete;
  ScopedSuite& operator=(const ScopedSuite&) = delete;

  bool Acquire(const SPBasicSuite* basic, const char* name, int32_t version) {
    Reset();
    const void* table = nullptr;
    if (basic && basic->AcquireSuite(name, version, &table) == kStatusSuccess && table) {
      mBasic = basic;
      mName = name;
      mVersion = version;
      mTable = static_cast<const Table*>(table);
    }
    return mTable != nullptr;
  }
  void Reset() {
    if (mTable) mBasic->ReleaseSuite(mName, mVersion);
    mTable = nullptr;
  }
  explicit operator bool() const { return mTable != nullptr; }
  const Table* operator->() const { return mTable; }
  const Table& operator*() const { return *mTable; }
  const Table* get() const { return mTable; }
  int32_t version() const { return mTable ? mVersion : 0; }

 private:
  const SPBasicSuite* mBasic = nullptr;
  const char* mName = nullptr;
  int32_t mVersion = 0;
  const Table* mTable = nullptr;
};

// A host value that must be given back through a slot of the suite that made
// it. The value counts as held only after Adopt (the call that filled it
// succeeded with a usable value).
template <typename Table, typename Value, void (*Release)(const Table&, Value&)>
class HostResource {
 public:
  explicit HostResource(const Table* table) : mTable(table) {}
  ~HostResource() { Reset(); }
  HostResource(const HostResource&) = delete;
  HostResource& operator=(const HostResource&) = delete;
  HostResource(HostResource&& other) noexcept
      : mTable(other.mTable), mValue(other.mValue), mHeld(std::exchange(other.mHeld, false)) {}

  Value* out() { return &mValue; }  // for the host call that fills it
  void Adopt() { mHeld = true; }
  Value& get() { return mValue; }
  const Value& get() const { return mValue; }
  bool held() const { return mHeld; }
  void Reset() {
    if (mHeld) Release(*mTable, mValue);
    mHeld = false;
  }

 private:
  const Table* mTable;
  Value mValue{};
  bool mHeld = false;
};

namespace detail {
inline void DisposeHostString(const StringSuite& s, HostString& v) { s.DisposeString(&v); }
inline void CloseSegments(const VideoSegmentSuite& s, int32_t& v) { s.CloseTimelineSegments(v); }
inline void ReleaseNode(const VideoSegmentSuite& s, int32_t& v) { s.ReleaseNode(v); }
}  // namespace detail

using ScopedHostString = HostResource<StringSuite, HostString, detail::DisposeHostString>;
using ScopedSegments = HostResource<VideoSegmentSuite, int32_t, detail::CloseSegments>;
using ScopedNode = HostResource<VideoSegmentSuite, int32_t, detail::ReleaseNode>;

// Makes a host string from UTF-8; held only when the host made it.
inline ScopedHostString MakeHostString(const StringSuite* suite, const char* utf8) {
  ScopedHostString s(suite);
  if (suite->MakeStringFromUtf8(utf8, s.out()) == kStatusSuccess) s.Adopt();
  return s;
}

}  // namespace KEM
