// The commands that need no host: version, capabilities, and subscribing to pushes.
#include "commands/handlers.h"
#include "platform/platform_name.h"
#include "platform/version.h"

namespace KEM {
namespace {
#define KEM_VENDOR_SITE "https://kem-engine.dev"
constexpr std::string_view kInfoReply =
    "info:{\"engine\":\"KEM Engine\",\"version\":\"" KEM_ENGINE_VERSION "\",\"api\":1,\"platform\":\"" KEM_PLATFORM_NAME "\","
    "\"commands\":[\"get.version\",\"get.info\",\"get.sequence\",\"get.angle\",\"get.angle.marker\","
    "\"get.clipsize\",\"get.clipsize.marker\",\"get.transitions\",\"get.commands\",\"exec\",\"multicam.angle\","
    "\"vitals.subscribe\",\"dump.angle\",\"debug.tlscan\"],"
    "\"unstable\":[\"dump.angle\",\"debug.tlscan\"],"
    "\"events\":[\"vitals\",\"event:transport\"],"
    "\"updateUrl\":\"" KEM_VENDOR_SITE "/kem-engine/latest.json\","
    "\"downloadUrl\":\"" KEM_VENDOR_SITE "/kem-engine\","
    "\"docsUrl\":\"" KEM_VENDOR_SITE "/kem-engine/api\","
    "\"licenseUrl\":\"" KEM_VENDOR_SITE "/kem-engine/license\","
    "\"originPolicy\":\"allowlist\",\"telemetry\":false}";
#undef KEM_VENDOR_SITE
}  // namespace

void HandleGetVersion(const Request& request) { request.Reply("version:" KEM_ENGINE_VERSION); }

void HandleGetInfo(const Request& request) { request.Reply(kInfoReply); }

// No reply; pushes follow until the connection ends. Subscribing twice changes nothing.
void HandleSubscribe(const Request& request) { request.sink.Subscribe(); }

}  // namespace KEM
