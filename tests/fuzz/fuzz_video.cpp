// libFuzzer target: arbitrary bytes as a video file. The bytes are written to
// a temporary file and opened as the desktop program's Open File opens a
// video; when a detector remains (the open succeeded, or failed after the
// file was read), the frames at several times are processed (grab, pixel
// pipeline, region count): the start, forward steps, the middle, the end and
// past it, backwards, and times no video has (negative, huge, not a number),
// then once more against a saved background. Built with ASan and UBSan; run
// by scripts/fuzz.

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "analysis/frame_tracker.h"
#include "analysis/pipeline.h"
#include "video/video_thread.h"

namespace {

std::string& inputPath() {
  static std::string path;
  return path;
}

void removeInput() {
  if (!inputPath().empty()) unlink(inputPath().c_str());
}

bool writeInput(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(inputPath().c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  prepareVideoThread();
  // One file per fuzzing process, in memory where there is a tmpfs.
  const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string name = std::string(folder) + "/verdaxel-fuzz-XXXXXX.avi";
  const int fd = mkstemps(name.data(), 4);
  if (fd < 0) {
    std::perror("fuzz_video: cannot make the input file");
    std::abort();
  }
  close(fd);
  inputPath() = name;
  std::atexit(removeInput);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!writeInput(data, size)) {
    std::perror("fuzz_video: cannot write the input file");
    std::abort();
  }
  FrameTracker tracker;
  tracker.failureLog = nullptr;
  tracker.openVideo(inputPath().c_str(), ExcludeBox{});
  if (tracker.mediaDet == nullptr) return 0;

  // The boundary on the frame's centre, so that every region has pixels.
  AnalysisSettings settings;
  settings.boundaryX0 = tracker.width / 2;
  settings.boundaryY0 = tracker.height / 2;
  settings.boundaryR = tracker.width / 8;
  settings.pixelCountThreshold = 0;
  const double length = tracker.streamLength;
  const double times[] = {0.0,
                          0.1,
                          0.2,
                          0.35,
                          length / 2,
                          length - 0.05,
                          length,
                          length + 0.1,
                          0.05,
                          -1.0,
                          1e12,
                          std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN(),
                          length / 3};
  for (double t : times) processFrame(tracker, settings, t);

  saveBackground(tracker);
  settings.invertLevels = true;
  settings.pixelThreshold = -5;  // below the control's range: every pixel active
  processFrame(tracker, settings, length / 4);
  return 0;
}
