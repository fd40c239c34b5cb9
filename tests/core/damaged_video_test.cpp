// Damaged videos, beyond the bad inputs of video_bad_input_test: copies of
// small good videos of each container cut at many offsets, with bytes flipped
// in the headers and in the packets, with the index zeroed, under the wrong
// extension, with huge declared frame sizes, with zero and negative frame
// rates and durations, and with a stated length far beyond the data. Each
// copy is opened as Open File opens it, processed at many times and scored
// by the headless scorer: it is refused with a failure code or gives what
// can be decoded; no call crashes, reads out of bounds (run under the
// sanitizers) or keeps decoding without end.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "analysis/frame_tracker.h"
#include "analysis/pipeline.h"
#include "cli/score_video.h"
#include "tests/core/video_test_support.h"
#include "tools/fixture_video.h"
#include "video/video_thread.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kWidth = 128;
constexpr int kHeight = 96;
constexpr int kFps = 30;
constexpr int kFrames = 30;  // one second

struct Source {
  const char* name;
  FixtureCodec codec;
  int keyframeInterval;
};
const Source kSources[] = {
    {"mjpeg.avi", FixtureCodec::kMjpegAvi, 0},  // intra-only codec
    {"ffv1.avi", FixtureCodec::kFfv1Avi, 0},    // every frame a keyframe
    {"raw.avi", FixtureCodec::kRawAvi, 0},      // frame size from the container only
    {"wmv2.wmv", FixtureCodec::kWmv2Wmv, 10},   // ASF
    {"h264.mp4", FixtureCodec::kH264Mp4, 10},   // MP4, B-frames, index at the end
    {"h264.mkv", FixtureCodec::kH264Mkv, 10},   // Matroska, length in the header
    {"ffv1-gop.avi", FixtureCodec::kFfv1Avi, 5},  // keyframe every 5 frames
};

Bytes readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Offset of the first tag (a fourcc, or a 16-byte GUID) at or after from;
// npos when there is none.
size_t find(const Bytes& bytes, const Bytes& tag, size_t from = 0) {
  if (from >= bytes.size()) return std::string::npos;
  const auto at = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(),
                              tag.begin(), tag.end());
  return at == bytes.end() ? std::string::npos : static_cast<size_t>(at - bytes.begin());
}
// Offset of the last such tag; npos when there is none.
size_t findLast(const Bytes& bytes, const Bytes& tag) {
  const auto at = std::find_end(bytes.begin(), bytes.end(), tag.begin(), tag.end());
  return at == bytes.end() ? std::string::npos : static_cast<size_t>(at - bytes.begin());
}
Bytes tag(const char* fourcc) { return Bytes(fourcc, fourcc + 4); }

void put32le(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}
void put64le(Bytes& b, size_t at, uint64_t v) {
  for (int i = 0; i < 8; ++i) b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}
void put32be(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(v >> (8 * (3 - i)));
}
void put16be(Bytes& b, size_t at, uint16_t v) {
  b.at(at) = static_cast<uint8_t>(v >> 8);
  b.at(at + 1) = static_cast<uint8_t>(v);
}
uint32_t get32be(const Bytes& b, size_t at) {
  return uint32_t{b.at(at)} << 24 | uint32_t{b.at(at + 1)} << 16 | uint32_t{b.at(at + 2)} << 8 |
         b.at(at + 3);
}

// ASF objects by their GUIDs.
const Bytes kAsfFileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                  0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const Bytes kAsfData = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                        0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Bytes kAsfSimpleIndex = {0x90, 0x08, 0x00, 0x33, 0xB1, 0xE5, 0xCF, 0x11,
                               0x89, 0xF4, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xCB};
// Matroska elements by their IDs.
const Bytes kMkvCluster = {0x1F, 0x43, 0xB6, 0x75};
const Bytes kMkvCues = {0x1C, 0x53, 0xBB, 0x6B};

// Where a container keeps its headers and its packets: [begin, end) each.
struct Regions {
  size_t headerBegin = 0, headerEnd = 0, dataBegin = 0, dataEnd = 0;
};
Regions regionsOf(const Bytes& b, FixtureCodec codec) {
  Regions r;
  if (codec == FixtureCodec::kH264Mkv) {
    r.headerEnd = find(b, kMkvCluster);
    r.dataBegin = r.headerEnd;
    r.dataEnd = findLast(b, kMkvCues);  // the first is the seek head's entry
  } else if (codec == FixtureCodec::kWmv2Wmv) {
    r.headerEnd = find(b, kAsfData);
    r.dataBegin = r.headerEnd + 50;  // the data object's own header
    const size_t index = find(b, kAsfSimpleIndex);
    r.dataEnd = index == std::string::npos ? b.size() : index;
  } else if (codec == FixtureCodec::kH264Mp4) {
    // The muxer writes mdat first and moov, the headers, at the end.
    const size_t mdat = find(b, tag("mdat"));
    const size_t moov = find(b, tag("moov"));
    r.dataBegin = mdat + 4;
    r.dataEnd = moov - 4;
    r.headerBegin = moov - 4;
    r.headerEnd = b.size();
  } else {
    r.headerEnd = find(b, tag("movi"));
    r.dataBegin = r.headerEnd + 4;
    r.dataEnd = find(b, tag("idx1"));
  }
  return r;
}

// Offsets of the AVI header fields patched below (the chunk data of the
// main header, and of the video stream's header and format).
struct AviFields {
  size_t avih, strh, strf;
};
AviFields aviFields(const Bytes& b) {
  const size_t strh = find(b, tag("strh"));
  return {find(b, tag("avih")) + 8, strh + 8, find(b, tag("strf"), strh) + 8};
}

// How a copy of a source is damaged. Returns false when the damage does not
// apply to the source's container.
using Damage = std::function<bool(Bytes&, FixtureCodec)>;

// What a frame read from the damaged copy must be.
enum class Check {
  kInTime,    // a frame no later than the one asked for, forward never back
  kReadable,  // some frame of the video (the frame times are damaged)
  kAnything,  // maybe a garbled picture (damaged packets or codec headers)
};

struct DamageCase {
  std::string name;
  Damage damage;
  Check check = Check::kInTime;
};

DamageCase cutAt(double fraction, size_t bytes) {
  return {"cut at " + std::to_string(fraction) + " + " + std::to_string(bytes),
          [=](Bytes& b, FixtureCodec) {
            const size_t at = static_cast<size_t>(static_cast<double>(b.size()) * fraction) + bytes;
            if (at >= b.size()) return false;
            b.resize(at);
            return true;
          },
          Check::kInTime};
}

// Every byte of eight spread over the region XORed with 0xFF, starting
// phase / 8 of a step in.
DamageCase flipIn(bool header, int phase) {
  return {std::string(header ? "header" : "packet") + " bytes flipped, phase " + std::to_string(phase),
          [=](Bytes& b, FixtureCodec codec) {
            const Regions r = regionsOf(b, codec);
            const size_t begin = header ? r.headerBegin : r.dataBegin;
            const size_t end = header ? r.headerEnd : r.dataEnd;
            if (end <= begin || end > b.size()) return false;
            const size_t step = (end - begin) / 8;
            for (size_t i = 0; i < 8; ++i) b[begin + i * step + step * phase / 8] ^= 0xFF;
            return true;
          },
          Check::kAnything};
}

DamageCase zeroedIndex() {
  return {"index zeroed", [](Bytes& b, FixtureCodec codec) {
            auto zero = [&b](size_t from, size_t to) {
              if (from >= to || to > b.size()) return false;
              std::fill(b.begin() + static_cast<std::ptrdiff_t>(from),
                        b.begin() + static_cast<std::ptrdiff_t>(to), 0);
              return true;
            };
            if (codec == FixtureCodec::kWmv2Wmv) {
              const size_t index = find(b, kAsfSimpleIndex);
              return index != std::string::npos && zero(index + 24, b.size());
            }
            if (codec == FixtureCodec::kH264Mkv) {
              const size_t cues = findLast(b, kMkvCues);
              return cues != std::string::npos && zero(cues + 4, b.size());
            }
            if (codec == FixtureCodec::kH264Mp4) {
              // The sample tables: sizes, chunk offsets, keyframes.
              bool any = false;
              for (const char* box : {"stsz", "stco", "stss"}) {
                const size_t at = find(b, tag(box));
                if (at == std::string::npos) continue;
                any = zero(at + 8, at - 4 + get32be(b, at - 4)) || any;
              }
              return any;
            }
            const size_t idx1 = find(b, tag("idx1"));
            return idx1 != std::string::npos && zero(idx1 + 8, b.size());
          }};
}

// Frame size in the AVI main header and the video format (and, for MP4,
// the track header and the sample entry); the codecs that carry the size
// in their own bitstream decode at that size or are refused.
DamageCase frameSize(int32_t width, int32_t height) {
  return {"frame size " + std::to_string(width) + "x" + std::to_string(height),
          [=](Bytes& b, FixtureCodec codec) {
            if (codec == FixtureCodec::kWmv2Wmv || codec == FixtureCodec::kH264Mkv) return false;
            if (codec == FixtureCodec::kH264Mp4) {
              const size_t tkhd = find(b, tag("tkhd"));
              const size_t avc1 = find(b, tag("avc1"));
              put32be(b, tkhd + 80, static_cast<uint32_t>(width) << 16);
              put32be(b, tkhd + 84, static_cast<uint32_t>(height) << 16);
              put16be(b, avc1 + 28, static_cast<uint16_t>(width));
              put16be(b, avc1 + 30, static_cast<uint16_t>(height));
              return true;
            }
            const AviFields f = aviFields(b);
            put32le(b, f.avih + 32, static_cast<uint32_t>(width));
            put32le(b, f.avih + 36, static_cast<uint32_t>(height));
            put32le(b, f.strf + 4, static_cast<uint32_t>(width));
            put32le(b, f.strf + 8, static_cast<uint32_t>(height));
            return true;
          }};
}

// Rate and scale of the video stream (AVI: frames per second = rate /
// scale; MP4: the media's time scale, and the frames' duration), and the
// frame time of the AVI main header.
DamageCase timing(uint32_t rate, uint32_t scale) {
  return {"rate " + std::to_string(rate) + " / " + std::to_string(scale),
          [=](Bytes& b, FixtureCodec codec) {
            if (codec == FixtureCodec::kWmv2Wmv || codec == FixtureCodec::kH264Mkv) return false;
            if (codec == FixtureCodec::kH264Mp4) {
              put32be(b, find(b, tag("mdhd")) + 16, rate);
              put32be(b, find(b, tag("stts")) + 16, scale);
              return true;
            }
            const AviFields f = aviFields(b);
            put32le(b, f.avih, scale == 0 ? 0 : 1000000u * scale / std::max(rate, 1u));
            put32le(b, f.strh + 20, scale);
            put32le(b, f.strh + 24, rate);
            return true;
          },
          Check::kReadable};
}

// The stated length of the stream: AVI frames, MP4 media duration, ASF play
// duration (100 ns units, less the preroll in ms).
DamageCase statedLength(uint64_t length) {
  return {"stated length " + std::to_string(length),
          [=](Bytes& b, FixtureCodec codec) {
            if (codec == FixtureCodec::kH264Mkv) {
              // The segment's Duration, a float of 4 or 8 bytes, in ms.
              const size_t at = find(b, {0x44, 0x89});
              if (at == std::string::npos) return false;
              const double ms = static_cast<double>(length);
              uint64_t bits = 0;
              if (b.at(at + 2) == 0x88) {
                std::memcpy(&bits, &ms, sizeof bits);
                for (int i = 0; i < 8; ++i) b.at(at + 3 + i) = static_cast<uint8_t>(bits >> (56 - 8 * i));
              } else {
                const float msFloat = static_cast<float>(ms);
                uint32_t floatBits = 0;
                std::memcpy(&floatBits, &msFloat, sizeof floatBits);
                put32be(b, at + 3, floatBits);
              }
              return true;
            }
            if (codec == FixtureCodec::kWmv2Wmv) {
              const size_t props = find(b, kAsfFileProperties);
              put64le(b, props + 64, length);
              put64le(b, props + 72, length);
              return true;
            }
            if (codec == FixtureCodec::kH264Mp4) {
              put32be(b, find(b, tag("mdhd")) + 20, static_cast<uint32_t>(length));
              put32be(b, find(b, tag("mvhd")) + 20, static_cast<uint32_t>(length));
              return true;
            }
            const AviFields f = aviFields(b);
            put32le(b, f.avih + 16, static_cast<uint32_t>(length));
            put32le(b, f.strh + 32, static_cast<uint32_t>(length));
            return true;
          }};
}

std::vector<DamageCase> damageTable() {
  std::vector<DamageCase> cases;
  // Cut inside the first headers, then through the file.
  for (size_t bytes : {1, 12, 60, 200, 700, 2000}) cases.push_back(cutAt(0.0, bytes));
  for (double f : {0.05, 0.15, 0.3, 0.45, 0.6, 0.75, 0.9, 0.97}) cases.push_back(cutAt(f, 0));
  cases.push_back(cutAt(1.0, static_cast<size_t>(-1)));  // the last byte
  for (int phase : {0, 3, 5, 7}) {
    cases.push_back(flipIn(true, phase));
    cases.push_back(flipIn(false, phase));
  }
  cases.push_back(zeroedIndex());
  for (auto [w, h] : {std::pair{65535, 65535}, {16384, 16384}, {20000, 2}, {0, 0},
                      {kWidth, -kHeight}, {-kWidth, kHeight}, {1, 1}}) {
    cases.push_back(frameSize(w, h));
  }
  for (auto [rate, scale] : {std::pair{0u, 1u}, {30u, 0u}, {0u, 0u}, {0x80000000u, 1u},
                             {30u, 0xFFFFFFFFu}, {1u, 1000000u}}) {
    cases.push_back(timing(rate, scale));
  }
  for (uint64_t length : {uint64_t{0}, uint64_t{0xFFFFFFFF}, uint64_t{1} << 62}) {
    cases.push_back(statedLength(length));
  }
  return cases;
}

class DamagedVideoTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    prepareVideoThread();  // the decoders' complaints about damage are expected
    folder_ = new fs::path(fs::temp_directory_path() /
                           ("verdaxel-damaged-" + std::to_string(getpid())));
    fs::create_directories(*folder_);
    for (const Source& s : kSources) {
      FixtureVideoSpec spec;
      spec.codec = s.codec;
      spec.width = kWidth;
      spec.height = kHeight;
      spec.fpsNum = kFps;
      spec.frameCount = kFrames;
      spec.keyframeInterval = s.keyframeInterval;
      std::string error;
      ASSERT_TRUE(writeFixtureVideo(
          (*folder_ / s.name).string(), spec,
          [](int frame, uint8_t* rgb, int stride) { paintFrameIdentity(frame, rgb, stride, kWidth, kHeight); },
          &error))
          << s.name << ": " << error;
    }
  }
  static void TearDownTestSuite() {
    fs::remove_all(*folder_);
    delete folder_;
    folder_ = nullptr;
  }
  static fs::path path(const std::string& name) { return *folder_ / name; }

  static fs::path* folder_;
};
fs::path* DamagedVideoTest::folder_ = nullptr;

bool knownFailure(int32_t code) {
  for (int32_t known : {E_FAIL, E_INVALIDARG, E_POINTER, E_OUTOFMEMORY, E_FILE_NOT_FOUND,
                        VFW_E_INVALID_FILE_FORMAT, VX_E_DECODE, VX_E_NOT_VIDEO, VX_E_FRAME_SIZE}) {
    if (code == known) return true;
  }
  return false;
}

// Opens the file as Open File does, processes the frames at 0.1 s steps to
// past the stated end (at most 3 s), then backwards and at odd times;
// checks every result code and, on success, the frame's number against
// the time asked for. Then scores it. Returns whether it opened.
bool exercise(const fs::path& file, Check check) {
  FrameTracker tracker;
  tracker.failureLog = nullptr;
  tracker.openVideo(file.c_str(), ExcludeBox{});
  EXPECT_LE(tracker.hr, 0);
  if (tracker.hr < 0) {
    EXPECT_TRUE(knownFailure(tracker.hr)) << "open: " << tracker.hr;
  }
  EXPECT_TRUE(std::isfinite(tracker.streamLength) && tracker.streamLength >= 0)
      << tracker.streamLength;
  EXPECT_TRUE(std::isfinite(tracker.frameRate) && tracker.frameRate >= 0) << tracker.frameRate;
  const bool opened = tracker.mediaDet != nullptr && tracker.hr >= 0;

  AnalysisSettings settings;
  settings.boundaryX0 = kWidth / 2;
  settings.boundaryY0 = kHeight / 2;
  settings.boundaryR = 10;
  std::vector<double> times;
  const double end = std::min(tracker.streamLength, 3.0) + 0.3;
  for (double t = 0; t < end; t += 0.1) times.push_back(t);
  for (double t = end; t > 0; t -= 0.35) times.push_back(t);
  for (double t : {1e6, 0.5, 1e12, -1.0}) times.push_back(t);
  int previous = -1;
  for (size_t i = 0; i < times.size(); ++i) {
    const double t = times[i];
    const bool analysed = processFrame(tracker, settings, t);
    if (!opened) {
      EXPECT_FALSE(analysed) << "t=" << t;  // nothing to show but a frame never grabbed
      continue;
    }
    if (!analysed) {
      EXPECT_TRUE(knownFailure(tracker.hr)) << "t=" << t << " hr=" << tracker.hr;
      continue;
    }
    if (check == Check::kAnything || tracker.width != kWidth || tracker.height != kHeight) continue;
    const int got = readFrameIdentity(tracker.frameBits, kWidth, kHeight);
    EXPECT_GE(got, 0) << "t=" << t;
    if (check == Check::kReadable) continue;
    const double wanted = std::clamp(std::floor(t * kFps + 1e-6), 0.0, double{kFrames - 1});
    EXPECT_LE(got, wanted) << "t=" << t;
    if (t < end && i > 0 && times[i - 1] < t) {
      EXPECT_GE(got, previous) << "t=" << t;
    }
    previous = got;
  }

  ScoreOptions options;
  options.settings = settings;
  options.excludeBox = ExcludeBox{0, 0, 0, 0};
  const VideoResult scored = scoreVideo(file.string(), options);
  if (!opened) {
    EXPECT_FALSE(scored.ok());
  }
  // No status gives a time before the start of the video.
  EXPECT_EQ(scored.error.find("at -"), std::string::npos) << scored.error;
  if (scored.ok()) {
    EXPECT_GT(scored.scores.elapsed, 0.0);
    EXPECT_LE(scored.scores.totalTime, scored.scores.elapsed + 1e-9);
  }
  return opened;
}

TEST_F(DamagedVideoTest, EachDamageIsRefusedOrDecodedAsFarAsItCanBe) {
  const std::vector<DamageCase> table = damageTable();
  for (const Source& s : kSources) {
    const Bytes good = readBytes(path(s.name));
    ASSERT_GT(good.size(), 4096u) << s.name;
    const Regions regions = regionsOf(good, s.codec);
    ASSERT_LT(regions.headerBegin, regions.headerEnd) << s.name;
    ASSERT_LT(regions.dataBegin, regions.dataEnd) << s.name;
    ASSERT_LE(regions.dataEnd, good.size()) << s.name;
    int opened = 0;
    int applied = 0;
    for (const DamageCase& c : table) {
      Bytes bad = good;
      if (!c.damage(bad, s.codec)) continue;
      ++applied;
      const fs::path file = path(std::string("damaged-") + s.name);
      writeBytes(file, bad);
      SCOPED_TRACE(std::string(s.name) + ": " + c.name);
      opened += exercise(file, c.check) ? 1 : 0;
    }
    // Most damage leaves something that opens.
    EXPECT_GE(opened, applied / 2) << s.name;
  }
}

// A file opens by its content whatever its name says.
TEST_F(DamagedVideoTest, WrongExtensionOpensByContent) {
  const char* wrong[] = {".wmv", ".mp4", ".avi", ".txt", ""};
  for (const Source& s : kSources) {
    for (const char* extension : wrong) {
      const fs::path file = path(std::string("renamed-") + s.name + "-as" + extension);
      fs::copy_file(path(s.name), file, fs::copy_options::overwrite_existing);
      SCOPED_TRACE(file.string());
      FrameTracker tracker;
      tracker.failureLog = nullptr;
      tracker.openVideo(file.c_str(), ExcludeBox{});
      ASSERT_EQ(tracker.hr, S_OK);
      EXPECT_EQ(tracker.width, kWidth);
      EXPECT_EQ(tracker.height, kHeight);
      for (int frame : {0, 7, 29, 12}) {
        ASSERT_TRUE(tracker.grabFrame((frame + 0.5) / kFps));
        EXPECT_EQ(readFrameIdentity(tracker.frameBits, kWidth, kHeight), frame);
      }
      ScoreOptions options;
      options.settings.boundaryX0 = kWidth / 2;
      options.settings.boundaryY0 = kHeight / 2;
      const VideoResult scored = scoreVideo(file.string(), options);
      EXPECT_TRUE(scored.ok()) << scored.error;
    }
  }
}

// A stated length far beyond the data: grabs past the last frame show it
// without decoding again, so a recording run over the stated length ends
// after a bounded amount of work.
TEST_F(DamagedVideoTest, StatedLengthBeyondTheDataCostsNoDecoding) {
  for (const Source& s : kSources) {
    Bytes bad = readBytes(path(s.name));
    ASSERT_TRUE(statedLength(0xFFFFFFFF).damage(bad, s.codec));
    const fs::path file = path(std::string("long-") + s.name);
    writeBytes(file, bad);
    SCOPED_TRACE(file.string());
    FrameTracker tracker;
    tracker.failureLog = nullptr;
    tracker.openVideo(file.c_str(), ExcludeBox{});
    ASSERT_EQ(tracker.hr, S_OK);
    ASSERT_TRUE(tracker.grabFrame(2.0));
    EXPECT_EQ(readFrameIdentity(tracker.frameBits, kWidth, kHeight), kFrames - 1);
    const int64_t before = tracker.mediaDet->framesDecoded();
    for (double t = 2.1; t < 360.0; t += 0.1) {
      ASSERT_TRUE(tracker.grabFrame(t)) << "t=" << t;
    }
    EXPECT_EQ(readFrameIdentity(tracker.frameBits, kWidth, kHeight), kFrames - 1);
    EXPECT_LE(tracker.mediaDet->framesDecoded() - before, 1);
  }
}

// An AVI whose index marks every frame as a keyframe, of a codec that also
// codes frames from the one before (FFV1 with a keyframe every 5 frames):
// the decoder finds the frames that are none, and every grab still gives
// exactly the frame asked for, forward and jumping about.
TEST_F(DamagedVideoTest, KeyframeMarksThatLieAreFoundOut) {
  Bytes bad = readBytes(path("ffv1-gop.avi"));
  const size_t idx1 = find(bad, tag("idx1"));
  ASSERT_NE(idx1, std::string::npos);
  // Entries of 16 bytes: chunk id, flags (0x10 a keyframe), offset, size.
  int lies = 0;
  for (size_t entry = idx1 + 8; entry + 16 <= bad.size(); entry += 16) {
    lies += (bad[entry + 4] & 0x10) == 0 ? 1 : 0;
    bad[entry + 4] |= 0x10;
  }
  ASSERT_EQ(lies, kFrames - kFrames / 5);
  const fs::path file = path("all-keyframes-ffv1-gop.avi");
  writeBytes(file, bad);
  for (const std::vector<int>& frames :
       {std::vector<int>{0, 3, 4, 5, 6, 9, 13, 29}, std::vector<int>{7, 2, 23, 11, 12, 28, 1}}) {
    FrameTracker tracker;
    tracker.failureLog = nullptr;
    tracker.openVideo(file.c_str(), ExcludeBox{});
    ASSERT_EQ(tracker.hr, S_OK);
    for (int frame : frames) {
      ASSERT_TRUE(tracker.grabFrame((frame + 0.5) / kFps)) << frame;
      EXPECT_EQ(readFrameIdentity(tracker.frameBits, kWidth, kHeight), frame);
    }
  }
}

// A damaged file gives the same frames every time it is read: whether the
// decoder marks a concealed frame as damaged must not depend on the timing
// of its threads (the H.264 copy with a run of bytes overwritten, whose
// frame 60 is concealed).
TEST_F(DamagedVideoTest, DamagedFramesComeOutTheSameEveryTime) {
  std::vector<uint64_t> first;
  for (int run = 0; run < 6; ++run) {
    FrameReader reader;
    ASSERT_EQ(reader.open(testVideo("corrupt.mp4")), S_OK);
    std::vector<uint64_t> frames;
    for (double t = 1.5; t < 3.5; t += 0.1) {
      frames.push_back(reader.grab(t) == S_OK ? reader.pixelHash() : 0);
    }
    if (run == 0) {
      first = frames;
    } else {
      EXPECT_EQ(frames, first) << "run " << run;
    }
  }
}

}  // namespace
