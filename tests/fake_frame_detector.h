#pragma once
// A media detector that serves one frame held in memory, or fails every
// grab; and a tracker made ready for it as a successful open leaves one.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "analysis/frame_tracker.h"
#include "video/media_detector.h"

class FakeFrameDetector : public MediaDetector {
 public:
  std::vector<uint8_t> pixels;  // the frame's bottom-up BGR rows, as grabbed
  int32_t failCode = 0;         // negative: every grab fails with it
  int grabs = 0;                // grabs asked for
  double lastTime = -1;         // stream time of the last grab

  int32_t putFilename(const char*) override { return S_OK; }
  int32_t getOutputStreams(int32_t* count) override {
    *count = 1;
    return S_OK;
  }
  int32_t putCurrentStream(int32_t) override { return S_OK; }
  int32_t getStreamType(MediaGuid* type) override {
    *type = MEDIATYPE_Video;
    return S_OK;
  }
  int32_t getFrameRate(double* fps) override {
    *fps = 10;
    return S_OK;
  }
  int32_t getStreamLength(double* seconds) override {
    *seconds = 10;
    return S_OK;
  }
  int32_t getStreamMediaType(MediaType*) override { return E_FAIL; }
  int32_t getBitmapBits(double streamTime, int32_t* size, uint8_t* buffer, int32_t width,
                        int32_t height) override {
    ++grabs;
    lastTime = streamTime;
    if (failCode < 0) return failCode;
    const int32_t bytes = 40 + 3 * width * height;
    if (buffer == nullptr) {
      *size = bytes;
      return S_OK;
    }
    std::memcpy(buffer + 40, pixels.data(), std::min<size_t>(pixels.size(), bytes - 40));
    return S_OK;
  }
};

// Gives the tracker buffers of width x height and a frame buffer that holds
// one grabbed frame, as a successful open leaves them.
inline bool prepareTracker(FrameTracker& t, int32_t width, int32_t height) {
  t.width = width;
  t.height = height;
  if (!t.allocateBuffers()) return false;
  t.frameBufferSize = 40 + t.byteCount;
  t.frameBuffer.reset(new uint8_t[t.frameBufferSize]());
  t.frameBits = t.frameBuffer.get() + 40;
  return true;
}

// Sets picture pixel (x, y) of a bottom-up BGR frame of the given size.
inline void setFramePixel(uint8_t* frame, int32_t width, int32_t height, int32_t x, int32_t y,
                          uint8_t r, uint8_t g, uint8_t b) {
  uint8_t* p = frame + 3 * ((height - 1 - y) * width + x);
  p[0] = b;
  p[1] = g;
  p[2] = r;
}
