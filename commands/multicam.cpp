// "multicam.angle:": switches the multicam camera through the host's own
// command for it and confirms the number used.
#include <string>

#include "commands/handlers.h"
#include "platform/numbers.h"

namespace KEM {

void HandleMulticamAngle(const Request& request) {
  const std::optional<int32_t> camera = ParseDecimal<int32_t>(request.After("multicam.angle:"));
  if (!camera) return request.Reply("multicam.angle.error:parse");
  if (*camera < 1 || *camera > 16) return request.Reply("multicam.angle.error:range");
  request.parts.Host().RunCommand("cmd.multicam.choosenocut.camera" + std::to_string(*camera));
  request.Reply("multicam.angle.ok:" + std::to_string(*camera));
}

}  // namespace KEM
