// Host strings to UTF-8.
#pragma once
#include <string>

#include "hostsdk/string_suite.h"

namespace KEM {
// The UTF-8 text of a host string: a 1024-byte buffer first, one retry with the
// size the host asks for; empty when the host cannot convert it.
std::string HostStringToUtf8(const StringSuite& strings, const HostString& string);
}  // namespace KEM
