// The suite ledger: acquisitions and releases by name and version (with
// refusals and overridden tables), and the suites the plug-in registers.
#include "devhost/fake_host.h"


namespace KEM::devhost {

std::map<std::string, int> FakeHost::HeldSuites() const {
  std::lock_guard<std::mutex> lock(mMutex);
  std::map<std::string, int> out;
  for (const auto& h : mHeld)
    if (h.second != 0) out[h.first.first + "/" + std::to_string(h.first.second)] = h.second;
  return out;
}

std::vector<Registration> FakeHost::Registrations() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mRegistrations;
}

const void* FakeHost::RegisteredTable(const std::string& name, int32_t version) const {
  std::lock_guard<std::mutex> lock(mMutex);
  // The latest registration wins: a module loaded again registers new tables.
  for (auto it = mRegistrations.rbegin(); it != mRegistrations.rend(); ++it)
    if (it->name == name && it->version == version) return it->table;
  return nullptr;
}

void FakeHost::OverrideSuite(const std::string& name, int32_t version, const void* table) {
  std::lock_guard<std::mutex> lock(mMutex);
  mOverrides[{name, version}] = table;
}

bool FakeHost::Refused(const std::string& name, int32_t version) const {
  for (const Refusal& r : mProject.refuse)
    if (r.suite == name && (!r.version || *r.version == version)) return true;
  return false;
}

KEMStatus FakeHost::Acquire(const char* name, int32_t version, const void** suite) {
  if (!name || !suite) return kStatusBadParameter;
  std::lock_guard<std::mutex> lock(mMutex);
  if (Refused(name, version)) return kStatusNotImplemented;
  if (auto it = mOverrides.find({name, version}); it != mOverrides.end()) {
    *suite = it->second;
    if (it->second) ++mHeld[{name, version}];
    return kStatusSuccess;
  }
  const void* offered = OfferedTable(name, version);
  if (!offered) return kStatusNotImplemented;
  *suite = offered;
  ++mHeld[{name, version}];
  return kStatusSuccess;
}

KEMStatus FakeHost::Release(const char* name, int32_t version) {
  if (!name) return kStatusBadParameter;
  std::function<void(const std::string&)> observer;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    auto it = mHeld.find({name, version});
    if (it == mHeld.end() || it->second == 0) {
      ++mMisuse;
      return kStatusBadParameter;
    }
    --it->second;
    observer = mGiveBackObserver;
  }
  if (observer) observer("suite " + std::string(name) + "/" + std::to_string(version));
  return kStatusSuccess;
}

void FakeHost::OnGiveBack(std::function<void(const std::string&)> observer) {
  std::lock_guard<std::mutex> lock(mMutex);
  mGiveBackObserver = std::move(observer);
}

KEMStatus FakeHost::AddSuite(const char* name, int32_t version, int32_t internalVersion, const void* table) {
  std::lock_guard<std::mutex> lock(mMutex);
  mRegistrations.push_back({name ? name : "", version, internalVersion, table});
  return kStatusSuccess;
}

}  // namespace KEM::devhost
