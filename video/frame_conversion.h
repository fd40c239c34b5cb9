#pragma once
// Turning decoded frames into grabbed frames. Internal to video/: include
// only from video/*.cpp.

#include <cstdint>

#include "video/ffmpeg_handles.h"
#include "video/media_detector.h"

// The header in front of a grabbed frame of width x height: 24-bit BGR,
// bottom-up (positive height), one plane, no compression.
BitmapInfoHeader grabbedFrameHeader(int32_t width, int32_t height);

// Writes a decoded frame in the grabbed-frame layout: the 40-byte header,
// then bottom-up BGR rows of exactly 3 * width bytes, scaled to width x
// height when that differs from the frame. Keeps one scaler and one padded
// picture, remade only when the sizes or formats change.
class BitmapWriter {
 public:
  int32_t write(const AVFrame* frame, uint8_t* buffer, int32_t width, int32_t height);

 private:
  SwsPtr scaler_;
  bool fullRange_ = false;  // the range and matrix the scaler was set to
  int colorSpace_ = -1;
  AvBytesPtr padded_;       // top-down BGR for the cases written through it
  int paddedStride_ = 0;
  int32_t paddedWidth_ = 0;
  int32_t paddedHeight_ = 0;
};
