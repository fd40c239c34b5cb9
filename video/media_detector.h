#pragma once
// The media-detector layer: a small object over FFmpeg that opens a video file,
// lists and types its streams, reports frame rate, length and frame size, and
// grabs the frame at a stream time as a bottom-up BGR bitmap. Every operation
// returns a 32-bit result code (result_codes.h): 0 for success, negative for
// failure. No FFmpeg type is visible outside video/.

#include <cstdint>
#include <functional>
#include <memory>

#include "video/result_codes.h"

// A 16-byte type identifier, compared byte for byte.
struct MediaGuid {
  uint8_t bytes[16];
};
bool operator==(const MediaGuid& a, const MediaGuid& b);
inline bool operator!=(const MediaGuid& a, const MediaGuid& b) { return !(a == b); }

extern const MediaGuid MEDIATYPE_Video;   // major type of a video stream
extern const MediaGuid MEDIATYPE_Audio;   // major type of an audio stream
extern const MediaGuid MEDIATYPE_Other;   // any other stream
extern const MediaGuid FORMAT_VideoInfo;  // format block is a VideoInfoHeader
extern const MediaGuid FORMAT_None;       // no format block

#pragma pack(push, 1)
// The 40-byte header in front of a grabbed frame.
struct BitmapInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;  // positive: bottom-up rows
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
#pragma pack(pop)
static_assert(sizeof(BitmapInfoHeader) == 40, "bitmap header is 40 bytes");

struct VideoInfoHeader {
  int32_t rcSource[4];
  int32_t rcTarget[4];
  uint32_t dwBitRate;
  uint32_t dwBitErrorRate;
  int64_t AvgTimePerFrame;  // 100 ns units
  BitmapInfoHeader bmiHeader;
};

// Something the media type keeps a reference on; released by its owner.
class MediaUnknown {
 public:
  virtual ~MediaUnknown() = default;
  virtual void Release() = 0;
};

// A stream's media type. The format block is allocated by the detector and
// released with mediaFree; pUnk, when set, with its Release.
struct MediaType {
  MediaGuid majortype{};
  MediaGuid formattype{};
  uint32_t cbFormat = 0;
  uint8_t* pbFormat = nullptr;
  MediaUnknown* pUnk = nullptr;
};
void mediaFree(void* block);

class MediaDetector {
 public:
  virtual ~MediaDetector() = default;
  // Opens a file by name (UTF-8, relative to the working folder or absolute)
  // and makes stream 0 current. E_FILE_NOT_FOUND when it does not exist,
  // VFW_E_INVALID_FILE_FORMAT when it holds no stream that can be read.
  virtual int32_t putFilename(const char* fileName) = 0;
  virtual int32_t getOutputStreams(int32_t* count) = 0;
  // E_INVALIDARG for an index outside 0 .. count - 1.
  virtual int32_t putCurrentStream(int32_t index) = 0;
  // MEDIATYPE_Video, MEDIATYPE_Audio or MEDIATYPE_Other.
  virtual int32_t getStreamType(MediaGuid* type) = 0;
  // Average frame rate of the current stream; VX_E_NOT_VIDEO when it is not video.
  virtual int32_t getFrameRate(double* framesPerSecond) = 0;
  // Duration of the current stream in seconds (the file's when the stream has none).
  virtual int32_t getStreamLength(double* seconds) = 0;
  // For a video stream: FORMAT_VideoInfo with a VideoInfoHeader of the decoded
  // size (the caller releases pbFormat with mediaFree). Others: FORMAT_None.
  virtual int32_t getStreamMediaType(MediaType* type) = 0;
  // With buffer null: writes 40 + 3 * width * height, the byte size of one
  // frame, to *size (streamTime is not used). Otherwise fills buffer with the
  // frame shown at streamTime: the 40-byte header, then bottom-up BGR rows of
  // exactly 3 * width bytes, scaled to width x height. The frame shown at t is
  // the one with the greatest presentation time not after t, both rounded to
  // 100 ns; before the first frame, the first; past the last, the last.
  // Negative or NaN times and sizes of 0 or less fail with E_INVALIDARG.
  virtual int32_t getBitmapBits(double streamTime, int32_t* size, uint8_t* buffer,
                                int32_t width, int32_t height) = 0;
  // The frame the last grab delivered: its presentation time in seconds, on
  // the clock of getBitmapBits' streamTime, and whether it is the last frame
  // the stream could be read to (the grab asked for a time at or past it).
  // E_FAIL when the last grab failed or no frame has been grabbed.
  virtual int32_t getGrabbedFrame(double* /*presentationTime*/, bool* /*lastFrame*/) {
    return E_FAIL;
  }
  // Frames decoded since the detector was made: what grabs cost, for tests
  // and benchmarks.
  virtual int64_t framesDecoded() const { return 0; }
};

// Creates a detector: the FFmpeg one, unless a factory has been installed.
int32_t createMediaDetector(std::unique_ptr<MediaDetector>* out);

// Replaces what createMediaDetector makes (an empty function: the FFmpeg
// detector again) and returns the factory it replaced. For tests that need a
// detector whose calls fail on purpose.
using MediaDetectorFactory = std::function<int32_t(std::unique_ptr<MediaDetector>* out)>;
MediaDetectorFactory setMediaDetectorFactory(MediaDetectorFactory factory);

// Creates the FFmpeg detector whatever factory is installed.
int32_t createFfmpegMediaDetector(std::unique_ptr<MediaDetector>* out);
