// One request: the connection it came on, its text, and the control-surface
// object it runs against. Handlers reply only through Reply.
#pragma once
#include <string_view>

namespace KEM {

class Connection;
class KEMEngineControlSurface;

struct Request {
  KEMEngineControlSurface& surface;
  Connection& connection;
  std::string_view text;  // the whole message, raw bytes

  // Sends one text message on this request's connection.
  void Reply(std::string_view message) const;
  // The argument text after the command's prefix.
  std::string_view After(std::string_view prefix) const { return text.substr(prefix.size()); }
};

}  // namespace KEM
