// The handle tables of the Video Segment Suite: a timeline's segments and
// the render nodes opened below them, each given back once.
#include "devhost/fake_host.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "hostsdk/media_suites.h"

namespace KEM::devhost {

KEMStatus FakeHost::OpenSegments(int32_t timeline, int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  ++mSegmentOpenCalls;
  auto it = mTimelines.find(timeline);
  if (it == mTimelines.end()) return kStatusBadParameter;
  const int32_t handle = mNextSegments++;
  mSegments.emplace(handle, it->second);
  *out = handle;
  return kStatusSuccess;
}

KEMStatus FakeHost::CloseSegments(int32_t segments) {
  std::lock_guard<std::mutex> lock(mMutex);
  if (mSegments.erase(segments) == 0) {
    ++mMisuse;
    return kStatusBadParameter;
  }
  return kStatusSuccess;
}

KEMStatus FakeHost::SegmentsHash(int32_t segments, char* out37) {
  std::lock_guard<std::mutex> lock(mMutex);
  auto it = mSegments.find(segments);
  if (it == mSegments.end()) return kStatusBadParameter;
  const std::string& hash = it->second->hash;
  std::memset(out37, 0, kSegmentHashSize);
  std::memcpy(out37, hash.data(), std::min<size_t>(hash.size(), kSegmentHashSize - 1));
  return kStatusSuccess;
}

KEMStatus FakeHost::SegmentsCount(int32_t segments, int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  auto it = mSegments.find(segments);
  if (it == mSegments.end()) return kStatusBadParameter;
  *out = it->second->CutCount();
  return kStatusSuccess;
}

int32_t FakeHost::OpenNode(std::shared_ptr<const Node> node) {
  const int32_t id = mNextNode++;
  if (mNextNode <= 0) mNextNode = 1;
  mNodes.emplace(id, std::move(node));
  return id;
}

const Node* FakeHost::FindNode(int32_t node) const {
  auto it = mNodes.find(node);
  return it == mNodes.end() ? nullptr : it->second.get();
}

KEMStatus FakeHost::NodeRelease(int32_t node) {
  std::lock_guard<std::mutex> lock(mMutex);
  if (mNodes.erase(node) == 0) {
    ++mMisuse;
    return kStatusBadParameter;
  }
  return kStatusSuccess;
}

KEMStatus FakeHost::NodeInfo(int32_t node, char* type256, char* identity37, int32_t* flags) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Node* n = FindNode(node);
  if (!n) return kStatusBadParameter;
  std::memset(type256, 0, kNodeTypeNameSize);
  std::memcpy(type256, n->type.data(), std::min<size_t>(n->type.size(), kNodeTypeNameSize - 1));
  std::snprintf(identity37, kSegmentHashSize, "node-%d", node);
  *flags = n->flags;
  return kStatusSuccess;
}

KEMStatus FakeHost::NodeInputCount(int32_t node, int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Node* n = FindNode(node);
  if (!n) return kStatusBadParameter;
  *out = static_cast<int32_t>(n->inputs.size());
  return kStatusSuccess;
}

KEMStatus FakeHost::NodeInput(int32_t node, int32_t index, int64_t* offset, int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Node* n = FindNode(node);
  if (!n || index < 0 || index >= static_cast<int32_t>(n->inputs.size())) return kStatusBadParameter;
  const auto& input = n->inputs[static_cast<size_t>(index)];
  *offset = input.first;
  *out = OpenNode(input.second);
  return kStatusSuccess;
}

KEMStatus FakeHost::NodeOperatorCount(int32_t node, int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Node* n = FindNode(node);
  if (!n) return kStatusBadParameter;
  *out = static_cast<int32_t>(n->operators.size());
  return kStatusSuccess;
}

KEMStatus FakeHost::NodeOperator(int32_t node, int32_t index, int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Node* n = FindNode(node);
  if (!n || index < 0 || index >= static_cast<int32_t>(n->operators.size())) return kStatusBadParameter;
  *out = OpenNode(n->operators[static_cast<size_t>(index)]);
  return kStatusSuccess;
}

KEMStatus FakeHost::NodeProperty(int32_t node, const char* key, const char** out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Node* n = FindNode(node);
  if (!n || !key) return kStatusBadParameter;
  const std::string* value = n->Property(key);
  if (!value) return kStatusBadParameter;
  *out = value->c_str();  // lives as long as the open node holds the model node
  return kStatusSuccess;
}

KEMStatus FakeHost::NodeAtTime(int32_t segments, int64_t time, int32_t* root, int64_t* offset) {
  std::lock_guard<std::mutex> lock(mMutex);
  auto it = mSegments.find(segments);
  if (it == mSegments.end()) return kStatusBadParameter;
  for (const Segment& s : it->second->segments) {
    if (s.start <= time && time < s.end) {
      if (!s.root) return kStatusBadParameter;
      *offset = s.offset;
      *root = OpenNode(s.root);
      return kStatusSuccess;
    }
  }
  return kStatusBadParameter;
}

}  // namespace KEM::devhost
