// The host's media suites, acquired for one request or one operation:
// video segments (render-node trees), sequence format, tick rate and markers.
#pragma once
#include "hostsdk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef KEMStatus (*MediaReservedSlot)(void);

#define kVideoSegmentSuiteName "MediaCore Video Segment Suite"
#define kVideoSegmentSuiteVersion 9
#define kSegmentHashSize 37
#define kNodeTypeNameSize 256

typedef struct VideoSegmentSuite {
  KEMStatus (*OpenTimelineSegments)(int32_t timeline, int32_t* outSegments);       /* 0 */
  MediaReservedSlot reserved1_2[2];                                                /* 1-2 */
  KEMStatus (*CloseTimelineSegments)(int32_t segments);                            /* 3 */
  KEMStatus (*ReadSegmentsHash)(int32_t segments, char* outHash37);               /* 4 */
  KEMStatus (*CountSegments)(int32_t segments, int32_t* outCount);                 /* 5 */
  MediaReservedSlot reserved6_7[2];                                                /* 6-7 */
  KEMStatus (*ReleaseNode)(int32_t node);                                          /* 8 */
  /* 9: type name into 256 bytes, 37-byte identity, flags. */
  KEMStatus (*ReadNodeInfo)(int32_t node, char* outTypeName256, char* outIdentity37, int32_t* outFlags);
  KEMStatus (*CountNodeInputs)(int32_t node, int32_t* outCount);                   /* 10 */
  KEMStatus (*OpenNodeInput)(int32_t node, int32_t index, int64_t* outOffset, int32_t* outInput); /* 11 */
  KEMStatus (*CountNodeOperators)(int32_t node, int32_t* outCount);                /* 12 */
  KEMStatus (*OpenNodeOperator)(int32_t node, int32_t index, int32_t* outOperator); /* 13 */
  MediaReservedSlot reserved14;                                                    /* 14 */
  /* 15: the value text belongs to the host and stays valid until the node is released. */
  KEMStatus (*ReadNodeProperty)(int32_t node, const char* key, const char** outValue);
  MediaReservedSlot reserved16_20[5];                                              /* 16-20 */
  KEMStatus (*OpenNodeAtTime)(int32_t segments, int64_t time, int32_t* outRoot, int64_t* outSegmentOffset); /* 21 */
} VideoSegmentSuite;

#define kSequenceInfoSuiteName "MediaCore Sequence Info Suite"
#define kSequenceInfoSuiteVersion 9

typedef struct FrameRect16 {
  int16_t top, left, bottom, right;
} FrameRect16;

typedef struct SequenceInfoSuite {
  KEMStatus (*GetFrameRect)(int32_t timeline, FrameRect16* outRect);                         /* 0 */
  KEMStatus (*GetPixelAspectRatio)(int32_t timeline, uint32_t* outNum, uint32_t* outDen);    /* 1 */
  KEMStatus (*GetTicksPerFrame)(int32_t timeline, int64_t* outTicks);                        /* 2 */
  MediaReservedSlot reserved3;                                                               /* 3 */
  KEMStatus (*GetZeroPoint)(int32_t timeline, int64_t* outTicks);                            /* 4 */
  KEMStatus (*GetDropFrame)(int32_t timeline, int32_t* outDropFrame);                        /* 5 */
} SequenceInfoSuite;

#define kTimeSuiteName "Premiere Time Suite"
#define kTimeSuiteVersion 1

typedef struct TimeSuite {
  KEMStatus (*GetTicksPerSecond)(int64_t* outTicks); /* 0 */
} TimeSuite;

#define kMarkerSuiteName "Marker Suite"

/* "Marker Suite" versions 1 to 3 share these four slots. */
typedef struct MarkerSuite {
  KEMStatus (*CountMarkers)(int32_t timeline, uint32_t* outCount);                           /* 0 */
  KEMStatus (*ReadMarkerNameSize)(int32_t timeline, uint32_t index, uint64_t* outBytes);     /* 1: UTF-16 bytes */
  /* 2: *ioName points at a zeroed buffer of size + 2 bytes; on return it points at the name. */
  KEMStatus (*ReadMarkerName)(int32_t timeline, uint32_t index, uint16_t** ioName);
  KEMStatus (*ReadMarkerTime)(int32_t timeline, uint32_t index, int64_t* outTime);          /* 3 */
} MarkerSuite;

#ifdef __cplusplus
}
#endif
