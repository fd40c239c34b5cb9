#include "analysis/frame_tracker.h"

#include <algorithm>
#include <new>

#include "analysis/truncate.h"

bool frameSizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxFrameSide && height <= kMaxFrameSide &&
         width * height <= kMaxFramePixels;
}

FrameTracker::FrameTracker() { allocateBuffers(); }

bool FrameTracker::allocateBuffers() {
  if (!frameSizeAllowed(width, height)) {
    width = bufferWidth_;
    height = bufferHeight_;
    return false;
  }
  const int32_t pixels = width * height;
  const int32_t bytes = 3 * pixels;

  // Make every buffer before releasing any, so a failed allocation changes nothing.
  std::unique_ptr<uint8_t[]> rgb(new (std::nothrow) uint8_t[bytes]());
  std::unique_ptr<uint8_t[]> gray(new (std::nothrow) uint8_t[pixels]());
  std::unique_ptr<uint8_t[]> background(new (std::nothrow) uint8_t[pixels]());
  std::unique_ptr<uint8_t[]> active(new (std::nothrow) uint8_t[pixels]());
  std::unique_ptr<int32_t[]> flip(new (std::nothrow) int32_t[bytes]);
  std::unique_ptr<uint8_t[]> exclude(new (std::nothrow) uint8_t[pixels]());
  if (!rgb || !gray || !background || !active || !flip || !exclude) {
    width = bufferWidth_;
    height = bufferHeight_;
    return false;
  }

  // Byte k (0 red, 1 green, 2 blue) of display pixel (x, y) comes from byte
  // 2 - k of source pixel (x, height - 1 - y): the grab is bottom-up BGR.
  for (int32_t y = 0; y < height; ++y) {
    const int32_t sourceRow = (height - 1 - y) * width;
    for (int32_t x = 0; x < width; ++x) {
      const int32_t p = y * width + x;
      const int32_t s = 3 * (sourceRow + x);
      flip[3 * p] = s + 2;
      flip[3 * p + 1] = s + 1;
      flip[3 * p + 2] = s;
    }
  }

  pixelCount = pixels;
  byteCount = bytes;
  rgbBuf = std::move(rgb);
  grayBuf = std::move(gray);
  backgroundBuf = std::move(background);
  activeMask = std::move(active);
  flipIndex = std::move(flip);
  excludeMask = std::move(exclude);
  bufferWidth_ = width;
  bufferHeight_ = height;
  return true;
}

void FrameTracker::buildExclusionMask(const ExcludeBox& box) {
  const int32_t x0 = truncateValue(box.x0);
  const int32_t y0 = truncateValue(box.y0);
  const int32_t w = truncateValue(box.w);
  const int32_t h = truncateValue(box.h);
  // Widened so that x0 + w cannot overflow.
  const int64_t x1 = int64_t{x0} + w;
  const int64_t y1 = int64_t{y0} + h;
  uint8_t* mask = excludeMask.get();
  for (int32_t y = 0; y < height; ++y) {
    const bool rowInside = y0 <= y && y < y1;
    uint8_t* row = mask + static_cast<int64_t>(y) * width;
    for (int32_t x = 0; x < width; ++x) {
      row[x] = (rowInside && x0 <= x && x < x1) ? 1 : 0;
    }
  }
}

void FrameTracker::reportFailure(int32_t code) const {
  if (failureLog != nullptr) {
    std::fprintf(failureLog, "%d", code);
    std::fflush(failureLog);
  }
}
