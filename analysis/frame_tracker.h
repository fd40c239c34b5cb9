#pragma once
// The frame tracker: the open video, the frame geometry, the grabbed frame,
// every per-pixel buffer derived from it, the flip map, the exclusion mask and
// the arm-occupancy state. One record shared by the video source, the pixel
// pipeline, the region counter, the playback loops and the video view.
//
// No FLTK here: where the desktop program reads a control, its GUI layer reads
// the control and hands the value over (settings.h).

#include <cstdint>
#include <cstdio>
#include <memory>

#include "analysis/regions.h"
#include "analysis/settings.h"
#include "video/media_detector.h"

// Frame sizes whose buffers are refused: a side above this, or more pixels
// than kMaxFramePixels, or a side of 0 or less.
constexpr int32_t kMaxFrameSide = 16384;
constexpr int64_t kMaxFramePixels = int64_t{64} * 1024 * 1024;
bool frameSizeAllowed(int64_t width, int64_t height);

struct FrameTracker {
  FrameTracker();
  FrameTracker(const FrameTracker&) = delete;
  FrameTracker& operator=(const FrameTracker&) = delete;

  // Sizes every per-pixel buffer to width x height (zero-filled) and builds
  // the flip map. Refuses a size frameSizeAllowed rejects: then width and
  // height go back to the size the buffers have, nothing else changes, and
  // the result is false.
  bool allocateBuffers();

  // Rewrites excludeMask from the exclude box (each value truncated toward
  // zero by itself): 1 inside the box, 0 elsewhere.
  void buildExclusionMask(const ExcludeBox& box);

  // Opens a video file (UTF-8 name) through a new media detector, picks its
  // first video stream, and on success remakes the buffers for its frame
  // size, clears the background and rebuilds the exclusion mask from box.
  void openVideo(const char* fileName, const ExcludeBox& box);

  // Grabs the frame at streamTime (seconds) into frameBuffer. False on
  // failure, which is reported.
  bool grabFrame(double streamTime);

  // Counts activeMask into the five regions and decides the region.
  void countRegions(const AnalysisSettings& settings);

  // Writes a failing result code as a bare signed decimal to failureLog.
  void reportFailure(int32_t code) const;

  int32_t hr = 0;                             // result of the last detector call
  std::unique_ptr<MediaDetector> mediaDet;    // the open video; null when none
  int32_t streamCount = 0;                    // streams in the open file
  double frameRate = 0.0;                     // frames per second of the chosen stream
  double streamLength = 0.0;                  // seconds; the end for navigation and recording
  int32_t width = 640;                        // frame width, pixels
  int32_t height = 480;                       // frame height, pixels
  int32_t byteCount = 0;                      // 3 * pixelCount
  int32_t pixelCount = 0;                     // width * height
  int32_t currentRegion = REGION_UPPER;       // region the animal is in
  int32_t previousRegion = REGION_UPPER;      // region at the last change of region
  bool entered = false;                       // the last decision moved into a new arm
  std::unique_ptr<uint8_t[]> frameBuffer;     // 40-byte header + bottom-up BGR pixels
  uint8_t* frameBits = nullptr;               // frameBuffer + 40
  std::unique_ptr<uint8_t[]> rgbBuf;          // byteCount bytes, top-down RGB
  std::unique_ptr<uint8_t[]> grayBuf;         // processed level per pixel
  std::unique_ptr<uint8_t[]> backgroundBuf;   // saved background gray level per pixel
  std::unique_ptr<uint8_t[]> activeMask;      // 1 where the pixel is active
  std::unique_ptr<int32_t[]> flipIndex;       // byteCount offsets into frameBits
  std::unique_ptr<uint8_t[]> excludeMask;     // 1 inside the exclude box
  int32_t regionCount[kRegionCount] = {};     // active pixels per region
  double regionRatio[kRegionCount] = {};      // percent of activeTotal per region
  int32_t activeTotal = 0;                    // sum of regionCount
  double currentRatio = 0.0;                  // ratio of the region last chosen

  int32_t frameBufferSize = 0;                // bytes in frameBuffer
  std::FILE* failureLog = stdout;             // where failing codes go; null: nowhere

 private:
  int32_t bufferWidth_ = 0;   // the size the buffers were last made for
  int32_t bufferHeight_ = 0;
};
