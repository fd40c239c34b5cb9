// Opening a video and grabbing its frames through the media detector.

#include <cstdlib>
#include <cstring>
#include <new>

#include "analysis/frame_tracker.h"

namespace {

// The frame rows at the height a format block gives: a negative height marks
// a top-down picture of that many rows.
int64_t rowsOf(int32_t formatHeight) {
  return formatHeight < 0 ? -int64_t{formatHeight} : int64_t{formatHeight};
}

// Owns the contents of a media type while the open runs: the format block is
// released with mediaFree, the extra reference with its Release.
class MediaTypeContents {
 public:
  MediaTypeContents() = default;
  MediaTypeContents(const MediaTypeContents&) = delete;
  MediaTypeContents& operator=(const MediaTypeContents&) = delete;
  ~MediaTypeContents() { release(); }

  MediaType* get() { return &type_; }
  const MediaType& type() const { return type_; }

  void release() {
    // Released whenever set, so that a block with a size of 0 is not lost.
    if (type_.cbFormat != 0 || type_.pbFormat != nullptr) {
      mediaFree(type_.pbFormat);
      type_.cbFormat = 0;
      type_.pbFormat = nullptr;
    }
    if (type_.pUnk != nullptr) {
      type_.pUnk->Release();
      type_.pUnk = nullptr;
    }
  }

 private:
  MediaType type_;
};

}  // namespace

void FrameTracker::openVideo(const char* fileName, const ExcludeBox& box) {
  // The previous video goes first, whatever becomes of this open.
  mediaDet.reset();

  hr = createMediaDetector(&mediaDet);
  if (hr < 0 || mediaDet == nullptr) {
    if (hr >= 0) hr = E_FAIL;
    mediaDet.reset();
    reportFailure(hr);
    return;
  }

  hr = mediaDet->putFilename(fileName);
  if (hr < 0) {
    reportFailure(hr);
    mediaDet.reset();
    return;
  }

  hr = mediaDet->getOutputStreams(&streamCount);
  if (hr < 0) {
    reportFailure(hr);
    return;
  }

  // The first video stream becomes current; without one, the last stream
  // scanned stays current. A stream whose type cannot be read is not video.
  for (int32_t i = 0; i < streamCount; ++i) {
    MediaGuid type{};
    hr = mediaDet->putCurrentStream(i);
    hr = mediaDet->getStreamType(&type);
    if (hr >= 0 && type == MEDIATYPE_Video) break;
  }

  hr = mediaDet->getFrameRate(&frameRate);
  if (hr < 0) {
    reportFailure(hr);
    return;
  }
  hr = mediaDet->getStreamLength(&streamLength);
  if (hr < 0) {
    reportFailure(hr);
    return;
  }

  MediaTypeContents mediaType;
  hr = mediaDet->getStreamMediaType(mediaType.get());
  if (hr < 0) {
    reportFailure(hr);
    return;
  }

  // A video-info format gives the frame size; any other keeps the current one.
  int32_t newWidth = width;
  int32_t newHeight = height;
  const MediaType& type = mediaType.type();
  if (type.formattype == FORMAT_VideoInfo) {
    if (type.pbFormat == nullptr || type.cbFormat < sizeof(VideoInfoHeader)) {
      hr = VX_E_FRAME_SIZE;
      reportFailure(hr);
      return;
    }
    VideoInfoHeader info;
    std::memcpy(&info, type.pbFormat, sizeof info);
    const int64_t rows = rowsOf(info.bmiHeader.biHeight);
    if (!frameSizeAllowed(info.bmiHeader.biWidth, rows)) {
      hr = VX_E_FRAME_SIZE;
      reportFailure(hr);
      return;
    }
    newWidth = info.bmiHeader.biWidth;
    newHeight = static_cast<int32_t>(rows);
  }
  mediaType.release();

  // The size query; its stream time does not matter.
  int32_t frameSize = 0;
  hr = mediaDet->getBitmapBits(24.0, &frameSize, nullptr, newWidth, newHeight);
  if (hr < 0) {
    reportFailure(hr);
    return;  // width and height still agree with every buffer
  }
  const int64_t needed = int64_t{40} + int64_t{3} * newWidth * newHeight;
  if (frameSize < needed) {
    hr = E_FAIL;  // a frame of that size would not hold the picture
    reportFailure(hr);
    return;
  }

  // The new frame buffer is made before any buffer is replaced, so that a
  // refused allocation leaves the tracker as it was.
  std::unique_ptr<uint8_t[]> newFrame(new (std::nothrow) uint8_t[static_cast<size_t>(frameSize)]);
  if (!newFrame) {
    hr = E_OUTOFMEMORY;
    reportFailure(hr);
    return;
  }
  const int32_t oldWidth = width;
  const int32_t oldHeight = height;
  width = newWidth;
  height = newHeight;
  if (!allocateBuffers()) {
    width = oldWidth;  // allocateBuffers has already put them back
    height = oldHeight;
    hr = E_OUTOFMEMORY;
    reportFailure(hr);
    return;
  }

  frameBuffer = std::move(newFrame);
  frameBufferSize = frameSize;
  frameBits = frameBuffer.get() + 40;
  std::memset(backgroundBuf.get(), 0, static_cast<size_t>(pixelCount));
  buildExclusionMask(box);
}

bool FrameTracker::grabFrame(double streamTime) {
  if (mediaDet == nullptr) {
    hr = E_POINTER;
    reportFailure(hr);
    return false;
  }
  // A frame buffer that does not hold a frame of the current size is not
  // handed over; without one the detector itself refuses the grab.
  uint8_t* buffer = frameBuffer.get();
  if (buffer != nullptr && frameBufferSize < int64_t{40} + byteCount) buffer = nullptr;
  hr = mediaDet->getBitmapBits(streamTime, nullptr, buffer, width, height);
  if (hr < 0) {
    reportFailure(hr);
    return false;
  }
  return true;
}
