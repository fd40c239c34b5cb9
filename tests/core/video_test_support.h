#pragma once
// Helpers for the video layer's tests: where the test videos are, and a
// detector opened on a file's first video stream that says which frame a
// grab returned.

#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tools/fixture_video.h"
#include "video/media_detector.h"

// A video written by verdaxel_make_test_videos for this build.
inline std::string testVideo(const std::string& name) {
  return std::string(VERDAXEL_TEST_VIDEOS) + "/" + name;
}

// A real-world sample from the shared fixtures beside the repository.
inline std::string sharedFixture(const std::string& name) {
  return std::string(VERDAXEL_SOURCE_DIR) + "/../shared/fixtures/" + name;
}

inline bool fileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

// A detector on the first video stream of a file, grabbing at its own size.
class FrameReader {
 public:
  // Opens the file; the result of the first failing call, else S_OK.
  int32_t open(const std::string& path) {
    int32_t r = createMediaDetector(&detector_);
    if (r < 0) return r;
    r = detector_->putFilename(path.c_str());
    if (r < 0) return r;
    int32_t count = 0;
    r = detector_->getOutputStreams(&count);
    if (r < 0) return r;
    for (int32_t i = 0; i < count; ++i) {
      MediaGuid type{};
      detector_->putCurrentStream(i);
      if (detector_->getStreamType(&type) >= 0 && type == MEDIATYPE_Video) break;
    }
    MediaType mediaType;
    r = detector_->getStreamMediaType(&mediaType);
    if (r < 0) return r;
    if (mediaType.formattype == FORMAT_VideoInfo && mediaType.cbFormat >= sizeof(VideoInfoHeader)) {
      VideoInfoHeader info;
      std::memcpy(&info, mediaType.pbFormat, sizeof info);
      width_ = info.bmiHeader.biWidth;
      height_ = info.bmiHeader.biHeight;
    }
    mediaFree(mediaType.pbFormat);
    int32_t size = 0;
    r = detector_->getBitmapBits(0.0, &size, nullptr, width_, height_);
    if (r < 0) return r;
    buffer_.assign(static_cast<size_t>(size), 0);
    return S_OK;
  }

  // Grabs the frame at t; the result code of the grab.
  int32_t grab(double t) {
    return detector_->getBitmapBits(t, nullptr, buffer_.data(), width_, height_);
  }

  // The frame number painted into the last grabbed frame (-1: unreadable).
  int frameNumber() const { return readFrameIdentity(bits(), width_, height_); }

  // Grabs at t and gives the frame number, or -2 when the grab fails.
  int frameAt(double t) { return grab(t) < 0 ? -2 : frameNumber(); }

  // FNV-1a hash of the last grabbed pixels, for videos without frame numbers.
  uint64_t pixelHash() const {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 40; i < buffer_.size(); ++i) h = (h ^ buffer_[i]) * 1099511628211ull;
    return h;
  }

  MediaDetector& detector() { return *detector_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  const uint8_t* bits() const { return buffer_.data() + 40; }
  const std::vector<uint8_t>& buffer() const { return buffer_; }

 private:
  std::unique_ptr<MediaDetector> detector_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<uint8_t> buffer_;
};
