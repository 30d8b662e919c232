// The module's one translation unit of its own: it pulls EntryPoint (and with
// it the whole plug-in) out of kem_engine_core.
#include "plugin/entry.h"

namespace {
[[maybe_unused]] const auto kEntryPoint = &EntryPoint;
}
