// "get.sequence": the format of one timeline, named or taken from the candidates.
#include <cstdio>
#include <string>

#include "commands/handlers.h"
#include "platform/numbers.h"
#include "host/resources.h"

namespace KEM {
namespace {
constexpr int64_t kDefaultTicksPerSecond = 254016000000LL;
constexpr std::string_view kPrefix = "get.sequence:";

int32_t FirstCandidate(const CommandParts& parts) {
  std::vector<int32_t> candidates = parts.Timelines().ListTimelineCandidates();
  if (candidates.empty()) {
    parts.Timelines().GetTimelineCandidates(false);
    candidates = parts.Timelines().ListTimelineCandidates();
  }
  return candidates.empty() ? -1 : candidates.front();
}
}  // namespace

void HandleGetSequence(const Request& request) {
  const CommandParts& parts = request.parts;
  int32_t id;
  if (request.text.size() > kPrefix.size()) {
    const std::optional<int64_t> value = ParseDecimal64(request.After(kPrefix));
    if (!value) return request.Reply("sequence.error:parse");
    id = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(*value)));  // the low 32 bits
  } else {
    id = FirstCandidate(parts);
  }
  if (id < 0) return request.Reply("sequence.error:notimeline");

  int64_t ticksPerFrame = 0;
  FrameRect16 rect = {0, 0, 0, 0};
  uint32_t parNum = 1, parDen = 1;
  int32_t dropFrame = 0;
  int64_t zeroPoint = 0;
  {
    ScopedSuite<SequenceInfoSuite> info(parts.BasicSuite(), kSequenceInfoSuiteName, kSequenceInfoSuiteVersion);
    if (!info) return request.Reply("sequence.error:nosuite");
    const KEMStatus status = info->GetTicksPerFrame(id, &ticksPerFrame);
    if (status != kStatusSuccess || ticksPerFrame <= 0) {
      info.Reset();  // the suite goes back before the reply, on this path too
      return request.Reply("sequence.error:" + std::to_string(static_cast<int64_t>(status)));
    }
    info->GetFrameRect(id, &rect);
    info->GetPixelAspectRatio(id, &parNum, &parDen);
    info->GetDropFrame(id, &dropFrame);
    info->GetZeroPoint(id, &zeroPoint);
  }

  int64_t ticksPerSecond = kDefaultTicksPerSecond;
  {
    ScopedSuite<TimeSuite> time(parts.BasicSuite(), kTimeSuiteName, kTimeSuiteVersion);
    if (time) {
      int64_t value = 0;
      const KEMStatus status = time->GetTicksPerSecond(&value);
      if (status == kStatusSuccess && value > 0) ticksPerSecond = value;
    }
  }

  const double fps = static_cast<double>(ticksPerSecond) / static_cast<double>(ticksPerFrame);
  const int32_t width = int32_t{rect.right} - int32_t{rect.left};
  const int32_t height = int32_t{rect.bottom} - int32_t{rect.top};
  char reply[320];
  std::snprintf(reply, sizeof reply,
                "sequence:{\"timelineID\":%lld,\"ticksPerSecond\":%lld,\"ticksPerFrame\":%lld,\"fps\":%.3f,"
                "\"dropFrame\":%s,\"width\":%d,\"height\":%d,\"parNum\":%u,\"parDen\":%u,\"zeroPointTicks\":%lld}",
                static_cast<long long>(id), static_cast<long long>(ticksPerSecond),
                static_cast<long long>(ticksPerFrame), fps, dropFrame != 0 ? "true" : "false", width, height, parNum,
                parDen, static_cast<long long>(zeroPoint));
  request.Reply(reply);
}

}  // namespace KEM
