// The media detector over FFmpeg: libavformat opens and demuxes, libavcodec
// decodes (frame threads for inter-coded video), libswscale converts the
// chosen frame to bottom-up BGR at the requested size (frame_conversion.cpp).
//
// Positioning. The detector keeps the frame last shown and the first frame
// decoded after it. A grab at a later time decodes forward from there. It
// seeks only when the time lies before the frame shown, more than a second
// ahead, or past a keyframe known from the index or from the packets read,
// and never forward once the file has been read to its end.
// After a seek, packets are gathered from the last keyframe before the time
// (a seek may land a keyframe or more early) and decoding starts there;
// frames that no grab can show any more are left to the decoder to skip
// when nothing refers to them. While every packet read is a keyframe (always
// for intra-only codecs, and for others, such as FFV1, when each frame is
// coded as one) the same walk runs over packets and only the packet of the
// frame shown is decoded; the first packet or decoded frame that is not a
// keyframe switches the stream to decoding every frame. Every loop is
// bounded by a step budget per grab.

#include "video/media_detector.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "video/ffmpeg_handles.h"
#include "video/frame_conversion.h"

extern "C" {
#include <libavutil/mathematics.h>
}

bool operator==(const MediaGuid& a, const MediaGuid& b) {
  return std::memcmp(a.bytes, b.bytes, sizeof a.bytes) == 0;
}
const MediaGuid MEDIATYPE_Video = {{0x76, 0x69, 0x64, 0x73, 0, 0, 0x10, 0, 0x80, 0, 0, 0xaa, 0, 0x38, 0x9b, 0x71}};
const MediaGuid MEDIATYPE_Audio = {{0x61, 0x75, 0x64, 0x73, 0, 0, 0x10, 0, 0x80, 0, 0, 0xaa, 0, 0x38, 0x9b, 0x71}};
const MediaGuid MEDIATYPE_Other = {{0x6f, 0x74, 0x68, 0x72, 0, 0, 0x10, 0, 0x80, 0, 0, 0xaa, 0, 0x38, 0x9b, 0x71}};
const MediaGuid FORMAT_VideoInfo = {{0xa0, 0x76, 0x2a, 0xf7, 0x0a, 0xeb, 0xd0, 0x11, 0xac, 0xe4, 0, 0, 0xc0, 0xcc, 0x16, 0xba}};
const MediaGuid FORMAT_None = {{0x0f, 0x64, 0x35, 0x0f, 0x1c, 0xab, 0xd3, 0x11, 0x9a, 0x45, 0, 0xc0, 0x4f, 0xd9, 0x15, 0x30}};

void mediaFree(void* block) { std::free(block); }

namespace {

struct FormatCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;

// Stream times are compared in ticks of 100 ns.
constexpr int64_t kTicksPerSecond = 10000000;
constexpr AVRational kTickBase = {1, 10000000};
// A grab ahead of the last frame read decodes forward, unless it is this
// far ahead...
constexpr int64_t kBlindForward = kTicksPerSecond;
// ...or a keyframe is known that lies this much after that frame.
constexpr int64_t kSeekSaving = 3 * kTicksPerSecond / 10;
// Keyframe times remembered per stream at the most.
constexpr size_t kKeyframesKept = 1 << 16;
// Upper bound on packets read (or decoder calls) in one grab, so that no
// damaged file can keep a grab going for ever.
constexpr int kStepBudget = 1 << 20;
// Packets gathered after a seek at the most (the frames of a long keyframe
// interval); beyond it the rest are decoded as they come.
constexpr size_t kBacklogLimit = 1024;
// Seeks that land after the wanted time are repeated this many times, each
// further back, the last one from the start of the stream.
constexpr int kSeekAttempts = 6;
// Stream times beyond this many ticks either way are not told apart.
constexpr int64_t kFarTicks = int64_t{1} << 60;
// Largest time accepted as it is; later times mean "the last frame".
constexpr double kLatestSeconds = 1e9;

constexpr int kEndOfStream = AVERROR_EOF;
constexpr int kOutOfSteps = -1000001;  // step budget exhausted
constexpr int kModeChanged = -1000002; // not every packet is a keyframe after all

// 40 + 3 * width * height, or -1 when it does not fit a 32-bit size.
int64_t frameBytes(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return -1;
  const int64_t bytes = int64_t{40} + int64_t{3} * width * height;
  return bytes > std::numeric_limits<int32_t>::max() ? -1 : bytes;
}

class FfmpegMediaDetector final : public MediaDetector {
 public:
  FfmpegMediaDetector() = default;
  FfmpegMediaDetector(const FfmpegMediaDetector&) = delete;
  FfmpegMediaDetector& operator=(const FfmpegMediaDetector&) = delete;

  bool init();

  int32_t putFilename(const char* fileName) override;
  int32_t getOutputStreams(int32_t* count) override;
  int32_t putCurrentStream(int32_t index) override;
  int32_t getStreamType(MediaGuid* type) override;
  int32_t getFrameRate(double* framesPerSecond) override;
  int32_t getStreamLength(double* seconds) override;
  int32_t getStreamMediaType(MediaType* type) override;
  int32_t getBitmapBits(double streamTime, int32_t* size, uint8_t* buffer, int32_t width,
                        int32_t height) override;
  int32_t getGrabbedFrame(double* presentationTime, bool* lastFrame) override;
  int64_t framesDecoded() const override { return framesDecoded_; }

 private:
  AVStream* stream() const { return format_->streams[current_]; }
  bool currentIsVideo() const;
  void closeDecoder();
  int32_t openDecoder();
  void resetPosition();
  int64_t ticksOf(int64_t timestamp) const;
  int64_t timestampOf(int64_t ticks) const;

  int32_t position(int64_t target);
  int32_t seekBefore(int64_t target, int* budget);
  int64_t keyframeBefore(int64_t target) const;
  void noteKeyframe(const AVPacket* packet);
  int walkForward(int64_t target, int* budget);
  void promoteAhead();
  int fetchAhead(int* budget);
  int readPacket(AVPacket* into, int* budget);
  int readFilePacket(AVPacket* into, int* budget);
  int gatherFromKeyframe(int64_t target, bool fromLastKeyframe, int* budget);
  int decodeNext(AVFrame* into, int64_t* ticks, int* budget);
  int32_t decodeShownPacket();

  FormatPtr format_;
  int current_ = 0;
  AvCodecPtr codec_;
  AvPacketPtr packet_;
  AvFramePtr shownFrame_;   // the frame at or before the last time asked for
  AvFramePtr aheadFrame_;   // the first frame after it, already decoded
  AvPacketPtr shownPacket_; // keyframes only: the packet of the frame shown
  AvPacketPtr aheadPacket_; // keyframes only: the packet after it, read but not decoded
  bool intraCodec_ = false;    // the codec codes every frame by itself
  bool keyframesOnly_ = false; // every packet read so far is a keyframe: walk over packets
  bool keyMarksWrong_ = false; // a packet marked as a keyframe decoded to a frame that is none
  bool haveShown_ = false;
  bool haveAhead_ = false;
  bool shownDecoded_ = false;  // keyframes only: shownFrame_ holds shownPacket_ decoded
  bool atEnd_ = false;         // nothing more to read after ahead
  bool fileEnded_ = false;     // reading stopped at the end of the file, not at an error
  bool draining_ = false;      // the decoder has been told the input has ended
  bool positioned_ = false;    // the reading position is known (else seek first)
  bool freshFile_ = false;     // nothing read since the file was opened
  bool grabbed_ = false;       // the last grab delivered the frame shown
  // After a seek: the packets from the last keyframe before the time asked
  // for, read ahead and not yet decoded; the first backlogCount_ are used.
  std::vector<AvPacketPtr> backlog_;
  size_t backlogCount_ = 0;
  size_t backlogNext_ = 0;
  std::vector<int64_t> keyframes_;  // ticks of the keyframes read, ascending
  int64_t shownTicks_ = 0;
  int64_t aheadTicks_ = 0;
  int64_t lastTicks_ = 0;      // time of the last frame or packet read, for untimed ones
  int64_t frameTicks_ = 0;     // duration of one frame in ticks, at least 1
  int64_t framesDecoded_ = 0;
  int64_t walkTarget_ = 0;     // the time the grab under way asks for
  int64_t latestPacket_ = std::numeric_limits<int64_t>::min();  // latest packet time sent
  BitmapWriter writer_;
};

bool FfmpegMediaDetector::init() {
  packet_.reset(av_packet_alloc());
  shownFrame_.reset(av_frame_alloc());
  aheadFrame_.reset(av_frame_alloc());
  shownPacket_.reset(av_packet_alloc());
  aheadPacket_.reset(av_packet_alloc());
  return packet_ && shownFrame_ && aheadFrame_ && shownPacket_ && aheadPacket_;
}

int32_t FfmpegMediaDetector::putFilename(const char* fileName) {
  if (fileName == nullptr) return E_POINTER;
  closeDecoder();
  format_.reset();
  current_ = 0;

  struct stat info {};
  if (stat(fileName, &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG) return E_FILE_NOT_FOUND;
    return errno == EACCES ? E_ACCESSDENIED : E_FAIL;
  }
  if (!S_ISREG(info.st_mode) || info.st_size == 0) return VFW_E_INVALID_FILE_FORMAT;

  // "file:" keeps a name such as "http:x.avi" a local file; the whitelist
  // keeps playlists inside a file from opening anything but local files.
  const std::string url = std::string("file:") + fileName;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  AVFormatContext* opened = nullptr;
  const int r = avformat_open_input(&opened, url.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (r < 0) {
    if (r == AVERROR(ENOENT)) return E_FILE_NOT_FOUND;
    if (r == AVERROR(EACCES)) return E_ACCESSDENIED;
    if (r == AVERROR(ENOMEM)) return E_OUTOFMEMORY;
    return VFW_E_INVALID_FILE_FORMAT;
  }
  FormatPtr format(opened);
  if (avformat_find_stream_info(format.get(), nullptr) < 0 || format->nb_streams == 0 ||
      format->nb_streams > static_cast<unsigned>(std::numeric_limits<int32_t>::max())) {
    return VFW_E_INVALID_FILE_FORMAT;
  }
  format_ = std::move(format);
  freshFile_ = true;
  return S_OK;
}

int32_t FfmpegMediaDetector::getOutputStreams(int32_t* count) {
  if (count == nullptr) return E_POINTER;
  if (!format_) return E_FAIL;
  *count = static_cast<int32_t>(format_->nb_streams);
  return S_OK;
}

int32_t FfmpegMediaDetector::putCurrentStream(int32_t index) {
  if (!format_) return E_FAIL;
  if (index < 0 || static_cast<unsigned>(index) >= format_->nb_streams) return E_INVALIDARG;
  if (index != current_) {
    closeDecoder();
    current_ = index;
  }
  return S_OK;
}

bool FfmpegMediaDetector::currentIsVideo() const {
  const AVStream* st = stream();
  // A cover picture is stored as a one-frame video stream; it is no video.
  return st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
         (st->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0;
}

int32_t FfmpegMediaDetector::getStreamType(MediaGuid* type) {
  if (type == nullptr) return E_POINTER;
  if (!format_) return E_FAIL;
  if (currentIsVideo()) {
    *type = MEDIATYPE_Video;
  } else if (stream()->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
    *type = MEDIATYPE_Audio;
  } else {
    *type = MEDIATYPE_Other;
  }
  return S_OK;
}

int32_t FfmpegMediaDetector::getFrameRate(double* framesPerSecond) {
  if (framesPerSecond == nullptr) return E_POINTER;
  if (!format_) return E_FAIL;
  if (!currentIsVideo()) return VX_E_NOT_VIDEO;
  AVRational rate = stream()->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = stream()->r_frame_rate;
  *framesPerSecond = (rate.num > 0 && rate.den > 0) ? av_q2d(rate) : 0.0;
  return S_OK;
}

int32_t FfmpegMediaDetector::getStreamLength(double* seconds) {
  if (seconds == nullptr) return E_POINTER;
  if (!format_) return E_FAIL;
  const AVStream* st = stream();
  if (st->duration != AV_NOPTS_VALUE && st->duration > 0) {
    *seconds = static_cast<double>(st->duration) * av_q2d(st->time_base);
  } else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
    *seconds = static_cast<double>(format_->duration) / AV_TIME_BASE;
  } else {
    *seconds = 0.0;
  }
  return S_OK;
}

int32_t FfmpegMediaDetector::getStreamMediaType(MediaType* type) {
  if (type == nullptr) return E_POINTER;
  if (!format_) return E_FAIL;
  *type = MediaType{};
  if (!currentIsVideo()) {
    type->majortype =
        stream()->codecpar->codec_type == AVMEDIA_TYPE_AUDIO ? MEDIATYPE_Audio : MEDIATYPE_Other;
    type->formattype = FORMAT_None;
    return S_OK;
  }
  const int32_t opened = openDecoder();
  if (opened < 0) return opened;

  auto* info = static_cast<VideoInfoHeader*>(std::calloc(1, sizeof(VideoInfoHeader)));
  if (info == nullptr) return E_OUTOFMEMORY;
  const int32_t width = codec_->width;
  const int32_t height = codec_->height;
  info->rcSource[2] = info->rcTarget[2] = width;
  info->rcSource[3] = info->rcTarget[3] = height;
  double rate = 0.0;
  getFrameRate(&rate);
  info->AvgTimePerFrame = rate > 0.0 ? std::llround(kTicksPerSecond / rate) : 0;
  info->bmiHeader = grabbedFrameHeader(width, height);
  type->majortype = MEDIATYPE_Video;
  type->formattype = FORMAT_VideoInfo;
  type->cbFormat = sizeof(VideoInfoHeader);
  type->pbFormat = reinterpret_cast<uint8_t*>(info);
  return S_OK;
}

int32_t FfmpegMediaDetector::getBitmapBits(double streamTime, int32_t* size, uint8_t* buffer,
                                           int32_t width, int32_t height) {
  if (buffer == nullptr && size == nullptr) return E_POINTER;
  if (!format_) return E_FAIL;
  if (!currentIsVideo()) return VX_E_NOT_VIDEO;
  const int64_t bytes = frameBytes(width, height);
  if (bytes < 0) return E_INVALIDARG;
  if (buffer == nullptr) {
    *size = static_cast<int32_t>(bytes);
    return S_OK;
  }
  grabbed_ = false;
  if (!(streamTime >= 0.0)) return E_INVALIDARG;  // also NaN
  const int64_t target = streamTime < kLatestSeconds
                             ? std::llround(streamTime * kTicksPerSecond)
                             : static_cast<int64_t>(kLatestSeconds) * kTicksPerSecond;
  const int32_t opened = openDecoder();
  if (opened < 0) return opened;
  int32_t found = position(target);
  if (found < 0) return found;
  if (keyframesOnly_) {
    const int32_t decoded = decodeShownPacket();
    if (decoded == kModeChanged) {
      found = position(target);  // again, decoding every frame
      if (found < 0) return found;
    } else if (decoded < 0) {
      return decoded;
    }
  }
  const int32_t written = writer_.write(shownFrame_.get(), buffer, width, height);
  grabbed_ = written >= 0;
  return written;
}

int32_t FfmpegMediaDetector::getGrabbedFrame(double* presentationTime, bool* lastFrame) {
  if (presentationTime == nullptr || lastFrame == nullptr) return E_POINTER;
  if (!grabbed_ || !haveShown_) return E_FAIL;
  *presentationTime = static_cast<double>(shownTicks_) / kTicksPerSecond;
  *lastFrame = atEnd_ && !haveAhead_;
  return S_OK;
}

void FfmpegMediaDetector::closeDecoder() {
  resetPosition();
  grabbed_ = false;
  codec_.reset();
  keyframes_.clear();
  positioned_ = false;
}

int32_t FfmpegMediaDetector::openDecoder() {
  if (codec_) return S_OK;
  AVStream* st = stream();
  const AVCodec* decoder = avcodec_find_decoder(st->codecpar->codec_id);
  if (decoder == nullptr) return VFW_E_INVALID_FILE_FORMAT;
  AvCodecPtr codec(avcodec_alloc_context3(decoder));
  if (!codec) return E_OUTOFMEMORY;
  if (avcodec_parameters_to_context(codec.get(), st->codecpar) < 0) return VFW_E_INVALID_FILE_FORMAT;
  codec->pkt_timebase = st->time_base;
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(st->codecpar->codec_id);
  intraCodec_ = descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY) != 0;
  keyframesOnly_ = true;  // until a packet or a frame says otherwise
  keyMarksWrong_ = false;
  // Intra-only streams decode one packet per grab: one thread. Others use
  // every core on the slices of a frame, but not frame threads: with those
  // the decoder may hand a frame out before its error concealment has marked
  // it damaged, so whether a damaged frame is passed over would depend on
  // the threads' timing, and the same file would not always give the same
  // frames.
  codec->thread_count = intraCodec_ ? 1 : 0;
  codec->thread_type = FF_THREAD_SLICE;
  if (avcodec_open2(codec.get(), decoder, nullptr) < 0) return VFW_E_INVALID_FILE_FORMAT;
  codec_ = std::move(codec);

  AVRational rate = st->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = st->r_frame_rate;
  frameTicks_ = (rate.num > 0 && rate.den > 0) ? av_rescale_q(1, av_inv_q(rate), kTickBase) : 0;
  if (frameTicks_ <= 0) frameTicks_ = kTicksPerSecond / 30;
  resetPosition();
  // Nothing read yet: the stream is read from its start without a seek.
  positioned_ = freshFile_;
  return S_OK;
}

void FfmpegMediaDetector::resetPosition() {
  for (size_t i = backlogNext_; i < backlogCount_; ++i) av_packet_unref(backlog_[i].get());
  backlogCount_ = backlogNext_ = 0;
  latestPacket_ = std::numeric_limits<int64_t>::min();
  haveShown_ = haveAhead_ = shownDecoded_ = atEnd_ = fileEnded_ = draining_ = false;
  if (shownFrame_) av_frame_unref(shownFrame_.get());
  if (aheadFrame_) av_frame_unref(aheadFrame_.get());
  if (shownPacket_) av_packet_unref(shownPacket_.get());
  if (aheadPacket_) av_packet_unref(aheadPacket_.get());
  lastTicks_ = -frameTicks_;
}

// Ticks from the stream's start, rounded to the nearest; timestamps of a
// damaged file that lie absurdly far out are held at +-kFarTicks.
int64_t FfmpegMediaDetector::ticksOf(int64_t timestamp) const {
  const AVStream* st = stream();
  const int64_t start = st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time;
  int64_t sinceStart = 0;
  if (__builtin_sub_overflow(timestamp, start, &sinceStart)) {
    return timestamp < start ? -kFarTicks : kFarTicks;
  }
  const int64_t ticks = av_rescale_q_rnd(sinceStart, st->time_base, kTickBase,
                                         static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
  return std::clamp(ticks, -kFarTicks, kFarTicks);
}

int64_t FfmpegMediaDetector::timestampOf(int64_t ticks) const {
  const AVStream* st = stream();
  const int64_t start = st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time;
  int64_t timestamp = 0;
  if (__builtin_add_overflow(start, av_rescale_q(ticks, kTickBase, st->time_base), &timestamp)) {
    return start < 0 ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
  }
  return timestamp;
}

// Leaves the frame shown at target in shownFrame_ (keyframes only: its packet in
// shownPacket_), or the first frame when target lies before it.
int32_t FfmpegMediaDetector::position(int64_t target) {
  int budget = kStepBudget;
  walkTarget_ = target;
  bool seek = !positioned_ || (haveShown_ && target < shownTicks_);
  // Once the file has been read to its end, a later time shows the last
  // frame: a seek would only decode it again (a stated length far beyond
  // the data would cost a seek and a keyframe interval every grab). Reading
  // stopped by an error may go on after a seek past the damage.
  // Keyframe marks that are known to be wrong give no place to seek to but
  // the start: forward, reading on is the only way.
  if (!seek && !(atEnd_ && fileEnded_) && !keyMarksWrong_) {
    // Decode forward from the last frame read, unless the time is more than
    // a few seconds ahead, or a keyframe lies well between (a seek would
    // then start decoding further on).
    const int64_t reached = haveAhead_ ? aheadTicks_ : (haveShown_ ? shownTicks_ : 0);
    if (target - reached > kBlindForward) {
      seek = true;
    } else if (target - reached >= kSeekSaving) {
      seek = keyframeBefore(target) >= reached + kSeekSaving;
    }
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (seek) {
      const int32_t sought = seekBefore(target, &budget);
      if (sought < 0) {
        positioned_ = false;  // where reading stands is not known any more
        return sought;
      }
    }
    const int r = walkForward(target, &budget);
    if (r == kModeChanged) {  // not every packet is a keyframe: decode every frame
      seek = true;
      continue;
    }
    if (r < 0 && r != kEndOfStream) {
      positioned_ = false;
      return VX_E_DECODE;
    }
    break;
  }
  if (!haveShown_) {
    if (!haveAhead_) {
      positioned_ = false;
      return VX_E_DECODE;  // no frame at all could be read
    }
    promoteAhead();  // the time lies before the first frame: show the first frame
  }
  return S_OK;
}

// The time in ticks of the last keyframe at or before target known from
// the stream's index or from the packets read so far; INT64_MIN if none.
int64_t FfmpegMediaDetector::keyframeBefore(int64_t target) const {
  int64_t latest = std::numeric_limits<int64_t>::min();
  AVStream* st = format_->streams[current_];
  const AVIndexEntry* entry =
      avformat_index_get_entry_from_timestamp(st, timestampOf(target), AVSEEK_FLAG_BACKWARD);
  if (entry != nullptr && ticksOf(entry->timestamp) <= target) latest = ticksOf(entry->timestamp);
  auto after = std::upper_bound(keyframes_.begin(), keyframes_.end(), target);
  if (after != keyframes_.begin()) latest = std::max(latest, *(after - 1));
  return latest;
}

// Remembers the time of a keyframe packet of an inter-coded stream.
void FfmpegMediaDetector::noteKeyframe(const AVPacket* packet) {
  const int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
  if (keyframesOnly_ || keyMarksWrong_ || (packet->flags & AV_PKT_FLAG_KEY) == 0 ||
      ts == AV_NOPTS_VALUE || keyframes_.size() >= kKeyframesKept) {
    return;
  }
  const int64_t ticks = ticksOf(ts);
  auto at = std::lower_bound(keyframes_.begin(), keyframes_.end(), ticks);
  if (at == keyframes_.end() || *at != ticks) keyframes_.insert(at, ticks);
}

// Seeks to a keyframe before target and reads the first frame (or packet)
// there. Seeks may land a keyframe or more early: for inter-coded video the
// packets are first gathered from the last keyframe before target on, so
// that the earlier ones are never decoded.
int32_t FfmpegMediaDetector::seekBefore(int64_t target, int* budget) {
  int64_t back = 0;
  for (int attempt = 0; attempt < kSeekAttempts; ++attempt) {
    const bool fromStart = keyMarksWrong_ || attempt == kSeekAttempts - 1 || target - back <= 0;
    const int64_t timestamp = timestampOf(fromStart ? 0 : target - back);
    int r = av_seek_frame(format_.get(), current_, timestamp, AVSEEK_FLAG_BACKWARD);
    if (r < 0) {
      r = avformat_seek_file(format_.get(), current_, std::numeric_limits<int64_t>::min(),
                             timestamp, timestamp, 0);
    }
    if (r < 0 && fromStart) {
      r = avformat_seek_file(format_.get(), -1, std::numeric_limits<int64_t>::min(), 0, 0,
                             AVSEEK_FLAG_BYTE);
    }
    if (r < 0) {
      if (fromStart) return VX_E_DECODE;
      back = back == 0 ? kTicksPerSecond : 2 * back;
      continue;
    }
    avcodec_flush_buffers(codec_.get());
    resetPosition();
    positioned_ = true;
    // A later attempt decodes all it gathers: the frame at the last
    // keyframe may be a damaged one that is passed over, and then the frame
    // shown lies before that keyframe.
    if (!keyframesOnly_ && !keyMarksWrong_ &&
        gatherFromKeyframe(target, back == 0, budget) == kOutOfSteps) {
      return VX_E_DECODE;
    }
    const int got = fetchAhead(budget);
    if (got == kOutOfSteps) return VX_E_DECODE;
    if (got == kModeChanged) continue;  // read again, decoding every frame
    if (got < 0 && got != kEndOfStream) return VX_E_DECODE;
    if (fromStart || (haveAhead_ && aheadTicks_ <= target)) return S_OK;
    back = back == 0 ? kTicksPerSecond : 2 * back;
  }
  return VX_E_DECODE;
}

// Reads packets into the backlog until no later one can be shown at target
// (its decoding time is after target), keeping, when fromLastKeyframe, only
// those from the last keyframe at or before target. Without keyframe marks
// all are kept.
int FfmpegMediaDetector::gatherFromKeyframe(int64_t target, bool fromLastKeyframe, int* budget) {
  backlogCount_ = backlogNext_ = 0;
  while (backlogCount_ < kBacklogLimit) {
    if (backlogCount_ == backlog_.size()) {
      backlog_.emplace_back(av_packet_alloc());
      if (!backlog_.back()) {
        backlog_.pop_back();
        return 0;  // decode from what there is
      }
    }
    AVPacket* packet = backlog_[backlogCount_].get();
    const int r = readFilePacket(packet, budget);
    if (r < 0) return r;
    const int64_t shown = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    const int64_t decoded = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
    if (fromLastKeyframe && (packet->flags & AV_PKT_FLAG_KEY) != 0 && shown != AV_NOPTS_VALUE &&
        ticksOf(shown) <= target && backlogCount_ > 0) {
      // A later keyframe, still not after target: decoding starts there.
      for (size_t i = 0; i < backlogCount_; ++i) av_packet_unref(backlog_[i].get());
      std::swap(backlog_[0], backlog_[backlogCount_]);
      backlogCount_ = 1;
    } else {
      ++backlogCount_;
    }
    if (decoded != AV_NOPTS_VALUE && ticksOf(decoded) > target) return 0;
  }
  return 0;
}

// The frame (or packet) ahead becomes the one shown.
void FfmpegMediaDetector::promoteAhead() {
  if (keyframesOnly_) {
    av_packet_unref(shownPacket_.get());
    av_packet_move_ref(shownPacket_.get(), aheadPacket_.get());
    shownDecoded_ = false;
  } else {
    av_frame_unref(shownFrame_.get());
    av_frame_move_ref(shownFrame_.get(), aheadFrame_.get());
  }
  shownTicks_ = aheadTicks_;
  haveShown_ = true;
  haveAhead_ = false;
}

// Reads forward until the next frame (or packet) lies after target.
int FfmpegMediaDetector::walkForward(int64_t target, int* budget) {
  while (true) {
    if (haveAhead_) {
      if (aheadTicks_ > target) return 0;
      promoteAhead();
    }
    if (atEnd_) return 0;
    const int r = fetchAhead(budget);
    if (r == kEndOfStream) return 0;
    if (r < 0) return r;
  }
}

// Reads the next frame (keyframes only: the next packet) into the ahead slot.
int FfmpegMediaDetector::fetchAhead(int* budget) {
  if (keyframesOnly_) {
    int r = 0;
    // A packet the demuxer found damaged (the cut-off last one of a truncated
    // file) is passed over, so that the frame before it is shown.
    do {
      av_packet_unref(aheadPacket_.get());
      r = readPacket(aheadPacket_.get(), budget);
    } while (r == 0 && (aheadPacket_->flags & (AV_PKT_FLAG_CORRUPT | AV_PKT_FLAG_DISCARD)) != 0);
    if (r == kEndOfStream) {
      atEnd_ = true;
      return r;
    }
    if (r < 0) return r;
    if ((aheadPacket_->flags & AV_PKT_FLAG_KEY) == 0) {
      av_packet_unref(aheadPacket_.get());
      keyframesOnly_ = false;
      positioned_ = false;
      return kModeChanged;
    }
    const int64_t ts =
        aheadPacket_->pts != AV_NOPTS_VALUE ? aheadPacket_->pts : aheadPacket_->dts;
    aheadTicks_ = ts != AV_NOPTS_VALUE ? ticksOf(ts) : lastTicks_ + frameTicks_;
    lastTicks_ = aheadTicks_;
    haveAhead_ = true;
    return 0;
  }
  const int r = decodeNext(aheadFrame_.get(), &aheadTicks_, budget);
  if (r == kEndOfStream) {
    atEnd_ = true;
    return r;
  }
  if (r < 0) return r;
  haveAhead_ = true;
  return 0;
}

// Reads the next packet of the current stream: first those gathered after
// a seek, then from the file.
int FfmpegMediaDetector::readPacket(AVPacket* into, int* budget) {
  if (backlogNext_ < backlogCount_) {
    av_packet_move_ref(into, backlog_[backlogNext_++].get());
    return 0;
  }
  return readFilePacket(into, budget);
}

int FfmpegMediaDetector::readFilePacket(AVPacket* into, int* budget) {
  while (true) {
    if (--*budget < 0) return kOutOfSteps;
    const int r = av_read_frame(format_.get(), into);
    if (r == AVERROR(EAGAIN)) continue;
    if (r < 0) {  // end of file, or a file that cannot be read on
      fileEnded_ = r == AVERROR_EOF || (format_->pb != nullptr && avio_feof(format_->pb) != 0);
      return kEndOfStream;
    }
    freshFile_ = false;
    if (into->stream_index == current_ && into->size > 0) {
      noteKeyframe(into);
      return 0;
    }
    av_packet_unref(into);
  }
}

// Decodes the next frame in presentation order. Frames the decoder marks as
// damaged are passed over, so that the frame before them stays shown.
int FfmpegMediaDetector::decodeNext(AVFrame* into, int64_t* ticks, int* budget) {
  while (true) {
    if (--*budget < 0) return kOutOfSteps;
    int r = avcodec_receive_frame(codec_.get(), into);
    if (r == 0) {
      ++framesDecoded_;
      if ((into->flags & AV_FRAME_FLAG_CORRUPT) != 0 || into->decode_error_flags != 0) {
        av_frame_unref(into);
        continue;
      }
      const int64_t ts = into->best_effort_timestamp;
      *ticks = ts != AV_NOPTS_VALUE ? ticksOf(ts) : lastTicks_ + frameTicks_;
      lastTicks_ = *ticks;
      return 0;
    }
    if (r == AVERROR_EOF) return kEndOfStream;
    if (r != AVERROR(EAGAIN)) continue;  // a damaged packet: go on with the next
    if (draining_) return kEndOfStream;
    r = readPacket(packet_.get(), budget);
    if (r == kOutOfSteps) return r;
    if (r < 0) {
      avcodec_send_packet(codec_.get(), nullptr);
      draining_ = true;
      continue;
    }
    // A frame that lies before one already read, itself not after target,
    // can be shown neither now nor by any later grab: the decoder may pass
    // it over when nothing refers to it (a non-reference B-frame).
    if (packet_->pts != AV_NOPTS_VALUE) {
      const int64_t packetTicks = ticksOf(packet_->pts);
      const bool unseen = packetTicks < latestPacket_ && latestPacket_ <= walkTarget_;
      codec_->skip_frame = unseen ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
      latestPacket_ = std::max(latestPacket_, packetTicks);
    }
    avcodec_send_packet(codec_.get(), packet_.get());  // a refused packet is skipped
    av_packet_unref(packet_.get());
  }
}

// Keyframes only: decodes the packet of the frame shown, once. kModeChanged
// when the decoder says the frame is no keyframe after all (a file whose
// packets are all marked as keyframes, some wrongly).
int32_t FfmpegMediaDetector::decodeShownPacket() {
  if (shownDecoded_) return S_OK;
  AVCodecContext* codec = codec_.get();
  av_frame_unref(shownFrame_.get());
  int r = avcodec_send_packet(codec, shownPacket_.get());
  if (r >= 0 || r == AVERROR(EAGAIN)) {
    r = avcodec_receive_frame(codec, shownFrame_.get());
    if (r == AVERROR(EAGAIN)) {
      // A decoder that holds frames back gives them up when drained.
      avcodec_send_packet(codec, nullptr);
      r = avcodec_receive_frame(codec, shownFrame_.get());
      avcodec_flush_buffers(codec);
    }
  }
  const bool failed = r < 0 || (shownFrame_->flags & AV_FRAME_FLAG_CORRUPT) != 0 ||
                      shownFrame_->decode_error_flags != 0;
  if (failed || (!intraCodec_ && shownFrame_->key_frame == 0)) {
    av_frame_unref(shownFrame_.get());
    avcodec_flush_buffers(codec);
    if (intraCodec_) return VX_E_DECODE;
    // A codec that also codes frames from others: the packet may be marked
    // as a keyframe wrongly (a damaged one cannot be told from that). The
    // marks are not trusted any more, and every frame is decoded from the
    // start of the stream on, so that a damaged frame is passed over as
    // frames are when every one is decoded.
    keyframesOnly_ = false;
    keyMarksWrong_ = true;
    positioned_ = false;
    return kModeChanged;
  }
  ++framesDecoded_;
  shownDecoded_ = true;
  return S_OK;
}

MediaDetectorFactory& installedFactory() {
  static MediaDetectorFactory factory;
  return factory;
}

}  // namespace

int32_t createFfmpegMediaDetector(std::unique_ptr<MediaDetector>* out) {
  if (out == nullptr) return E_POINTER;
  auto detector = std::make_unique<FfmpegMediaDetector>();
  if (!detector->init()) return E_OUTOFMEMORY;
  *out = std::move(detector);
  return S_OK;
}

int32_t createMediaDetector(std::unique_ptr<MediaDetector>* out) {
  if (out == nullptr) return E_POINTER;
  const MediaDetectorFactory& factory = installedFactory();
  return factory ? factory(out) : createFfmpegMediaDetector(out);
}

MediaDetectorFactory setMediaDetectorFactory(MediaDetectorFactory factory) {
  MediaDetectorFactory previous = std::move(installedFactory());
  installedFactory() = std::move(factory);
  return previous;
}
