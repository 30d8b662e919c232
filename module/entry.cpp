// The plug-in's exported entry, its start-up registration, and the plug-in
// suite through which the host creates and destroys control-surface instances.
// The state below is process-wide: one copy for the loaded module.
#include "module/entry.h"
#include "plugin/adapters.h"
#include "server/server.h"
#include "surface/control_surface.h"

namespace KEM {
namespace {

constexpr uint16_t kPluginIdentifier[] = {'K', 'E', 'M', '.', 'E', 'n', 'g', 'i', 'n', 'e', 0};
constexpr uint16_t kPluginDisplayName[] = {'K', 'E', 'M', ' ', 'E', 'n', 'g', 'i', 'n', 'e', 0};

const SPBasicSuite* gBasicSuite = nullptr;
const StringSuite* gStringSuite = nullptr;
const SPSuitesSuite* gSuitesSuite = nullptr;
SPSuiteListRef gSuiteList = nullptr;
ServerOptions gInstanceServerOptions;

// The object behind the host's plug-in handle: at most one instance.
struct PluginObject {
  KEMEngineControlSurface* instance = nullptr;
};

PluginObject* FromHandle(PluginHandle plugin) { return reinterpret_cast<PluginObject*>(plugin); }

void DestroyHeldInstance(PluginObject* object) {
  if (!object->instance) return;
  object->instance->AttachHost(nullptr);
  delete object->instance;
  object->instance = nullptr;
}

KEMStatus CreateInstance(PluginHandle plugin, HostInstanceHandle host, SurfaceInterface* outSurface) noexcept {
  PluginObject* object = FromHandle(plugin);
  if (!object) return kStatusBadParameter;
  // A second create on the same object replaces the first instance only after
  // tearing it down, so its threads and host suites do not outlive it.
  DestroyHeldInstance(object);
  auto* surface = new KEMEngineControlSurface(gBasicSuite, gInstanceServerOptions);
  object->instance = surface;
  surface->AttachHost(host);
  if (outSurface) *outSurface = surface->Interface();
  return kStatusSuccess;
}

KEMStatus DestroyInstance(PluginHandle plugin) noexcept {
  if (PluginObject* object = FromHandle(plugin)) DestroyHeldInstance(object);
  return kStatusSuccess;
}

KEMStatus MakeUtf16String(const uint16_t* text, HostString* outString) {
  if (!gStringSuite) return kStatusBadParameter;
  return gStringSuite->MakeStringFromUtf16(text, outString);
}

KEMStatus GetIdentifier(PluginHandle, HostString* outString) noexcept {
  return MakeUtf16String(kPluginIdentifier, outString);
}

KEMStatus GetDisplayName(PluginHandle, HostString* outString) noexcept {
  return MakeUtf16String(kPluginDisplayName, outString);
}

KEMStatus NotImplemented(PluginHandle) noexcept { return kStatusNotImplemented; }

KEMStatus PluginEntry6(PluginHandle, bool* outValue) noexcept {
  if (outValue) *outValue = false;
  return kStatusNotImplemented;
}

const ControlSurfacePluginSuite kPluginSuiteTable = {
    /* 0 */ CreateInstance,
    /* 1 */ DestroyInstance,
    /* 2 */ GetIdentifier,
    /* 3 */ GetDisplayName,
    /* 4 */ NotImplemented,
    /* 5 */ NotImplemented,
    /* 6 */ PluginEntry6,
    /* 7 */ NotImplemented,
    /* 8 */ NotImplemented,
    /* 9 */ NotImplemented,
};

void Register(const char* name, int32_t version, const void* table) {
  SPSuiteRef unused = nullptr;
  gSuitesSuite->AddSuite(gSuiteList, nullptr, name, version, version, table, &unused);
}

// A suite counts as acquired only when the host says so and hands over a table.
// A host that answers success with a null table gets kStatusBadParameter back:
// start-up must not report success when nothing could be registered.
KEMStatus AcquireStartupSuite(const char* name, int32_t version, const void** table) {
  *table = nullptr;
  const KEMStatus status = gBasicSuite->AcquireSuite(name, version, table);
  if (status != kStatusSuccess) return status;
  return *table ? kStatusSuccess : kStatusBadParameter;
}

KEMStatus PluginStartup(void*) noexcept {
  if (!gBasicSuite) return kStatusBadParameter;
  const void* strings = nullptr;
  KEMStatus status = AcquireStartupSuite(kStringSuiteName, kStringSuiteVersion, &strings);
  if (status != kStatusSuccess) return status;
  const void* suites = nullptr;
  status = AcquireStartupSuite(kSPSuitesSuiteName, kSPSuitesSuiteVersion, &suites);
  if (status != kStatusSuccess) {
    // Nothing registered, so nothing held either.
    gBasicSuite->ReleaseSuite(kStringSuiteName, kStringSuiteVersion);
    return status;
  }
  gStringSuite = static_cast<const StringSuite*>(strings);
  gSuitesSuite = static_cast<const SPSuitesSuite*>(suites);

  SPSuiteListRef list = nullptr;
  if (gSuitesSuite->CreateSuiteList(nullptr, nullptr, &list) == kStatusSuccess && list) {
    gSuiteList = list;
    Register(kControlSurfacePluginSuiteName, 1, &kPluginSuiteTable);
  }
  Register(kControlSurfaceSuiteName, 1, &adobesdk::kControlSurfaceSuiteTable);
  Register(kControlSurfaceSuiteName, 2, &adobesdk::kControlSurfaceSuiteTable);
  Register(kControlSurfaceCommandSuiteName, 1, &adobesdk::kCommandSuiteTable);
  Register(kControlSurfaceTransportSuiteName, 1, &adobesdk::kTransportSuiteTable);
  Register(kControlSurfaceMixerSuiteName, 2, &adobesdk::kMixerSuiteTable);
  Register(kControlSurfaceLumetriSuiteName, 1, &adobesdk::kLumetriSuiteTable);
  Register(kControlSurfaceMarkerSuiteName, 1, &adobesdk::kMarkerSuiteTable);
  return kStatusSuccess;
}

KEMStatus PluginShutdown(void*) noexcept {
  if (gSuiteList && gSuitesSuite) gSuitesSuite->FreeSuiteList(gSuiteList);
  gSuiteList = nullptr;
  if (gStringSuite) gBasicSuite->ReleaseSuite(kStringSuiteName, kStringSuiteVersion);
  gStringSuite = nullptr;
  // The suites suite is kept, as the host expects of a plug-in that registered suites.
  return kStatusSuccess;
}

KEMStatus CreatePlugin(PluginHandle* outPlugin) noexcept {
  if (!outPlugin) return kStatusBadParameter;
  *outPlugin = reinterpret_cast<PluginHandle>(new PluginObject);
  return kStatusSuccess;
}

KEMStatus DestroyPlugin(PluginHandle plugin) noexcept {
  PluginObject* object = FromHandle(plugin);
  if (!object) return kStatusSuccess;
  DestroyHeldInstance(object);
  delete object;
  return kStatusSuccess;
}

KEMStatus GetSuiteList(SPSuiteListRef* outList) noexcept {
  if (outList) *outList = gSuiteList;
  return kStatusSuccess;
}

}  // namespace

void SetInstanceServerOptions(const ServerOptions& options) { gInstanceServerOptions = options; }

}  // namespace KEM

// The module's one exported symbol, undecorated in every build.
#if defined(_WIN32)
#define KEM_EXPORT __declspec(dllexport)
#else
#define KEM_EXPORT __attribute__((visibility("default")))
#endif

extern "C" KEM_EXPORT KEMStatus EntryPoint(const SPBasicSuite* basic, void*, void*, uint32_t,
                                           PluginEntryTable* outTable) {
  if (!basic) return kStatusBadParameter;
  KEM::gBasicSuite = basic;
  if (outTable) {
    outTable->Startup = KEM::PluginStartup;
    outTable->Shutdown = KEM::PluginShutdown;
    outTable->CreatePlugin = KEM::CreatePlugin;
    outTable->DestroyPlugin = KEM::DestroyPlugin;
    outTable->GetSuiteList = KEM::GetSuiteList;
  }
  return kStatusSuccess;
}
