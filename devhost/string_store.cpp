// The host string store: strings made from UTF-8 or UTF-16 by either side,
// read back as UTF-8, and disposed once.
#include "devhost/fake_host.h"

#include <cstring>

#include "devhost/string_ids.h"
#include "hostsdk/string_suite.h"

namespace KEM::devhost {

HostString FakeHost::MakeString(const std::string& utf8) {
  std::lock_guard<std::mutex> lock(mMutex);
  HostString s{};
  SetStringId(&s, NewString(utf8));
  return s;
}

void FakeHost::DisposeString(HostString& string) { StringDispose(&string); }

std::string FakeHost::StringText(const HostString& string) const {
  std::lock_guard<std::mutex> lock(mMutex);
  auto it = mStrings.find(StringId(&string));
  return it == mStrings.end() ? std::string() : it->second;
}

uint64_t FakeHost::NewString(std::string utf8) {
  const uint64_t id = mNextString++;
  mStrings.emplace(id, std::move(utf8));
  return id;
}

KEMStatus FakeHost::StringDispose(HostString* s) {
  if (!s) return kStatusBadParameter;
  std::function<void(const std::string&)> observer;
  std::string text;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    auto it = mStrings.find(StringId(s));
    if (it == mStrings.end()) {
      ++mMisuse;
      return kStatusBadParameter;
    }
    observer = mGiveBackObserver;
    if (observer) text = std::move(it->second);
    mStrings.erase(it);
  }
  if (observer) observer("string " + text);
  return kStatusSuccess;
}

KEMStatus FakeHost::StringFromUtf8(const char* utf8, HostString* out) {
  if (!utf8 || !out) return kStatusBadParameter;
  std::lock_guard<std::mutex> lock(mMutex);
  SetStringId(out, NewString(utf8));
  return kStatusSuccess;
}

KEMStatus FakeHost::StringToUtf8(const HostString* s, char* buffer, uint32_t* ioCount) {
  if (!s || !buffer || !ioCount) return kStatusBadParameter;
  std::lock_guard<std::mutex> lock(mMutex);
  auto it = mStrings.find(StringId(s));
  if (it == mStrings.end()) return kStatusBadParameter;
  const uint32_t needed = static_cast<uint32_t>(it->second.size() + 1);
  if (*ioCount < needed) {
    *ioCount = needed;
    return kStatusStringBufferTooSmall;
  }
  std::memcpy(buffer, it->second.c_str(), needed);
  *ioCount = needed;
  return kStatusSuccess;
}

KEMStatus FakeHost::StringFromUtf16(const uint16_t* utf16, HostString* out) {
  if (!utf16 || !out) return kStatusBadParameter;
  std::u16string text;
  for (const uint16_t* p = utf16; *p; ++p) text += static_cast<char16_t>(*p);
  std::lock_guard<std::mutex> lock(mMutex);
  SetStringId(out, NewString(Utf16ToUtf8(text)));
  return kStatusSuccess;
}

}  // namespace KEM::devhost
