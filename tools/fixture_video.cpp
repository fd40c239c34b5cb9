#include "tools/fixture_video.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "video/ffmpeg_handles.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
}

namespace {

struct OutputCloser {
  void operator()(AVFormatContext* c) const {
    if (c->pb != nullptr && (c->oformat->flags & AVFMT_NOFILE) == 0) avio_closep(&c->pb);
    avformat_free_context(c);
  }
};
using OutputPtr = std::unique_ptr<AVFormatContext, OutputCloser>;

constexpr int kSampleRate = 44100;
constexpr int kAudioFrameSamples = 1024;

std::string describe(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

bool fail(std::string* error, const std::string& message) {
  if (error != nullptr) *error = message;
  return false;
}

// One encoded stream of the file.
struct Output {
  bool video = true;
  bool inverted = false;  // the second video stream shows the inverted picture
  AVStream* stream = nullptr;
  AvCodecPtr encoder;
  AvFramePtr frame;
  SwsPtr scaler;
  int64_t next = 0;   // pts of the next frame, in the encoder's time base
  int64_t total = 0;  // frames (video) or samples (audio) to write
  bool done = false;
};

const char* containerOf(FixtureCodec codec) {
  switch (codec) {
    case FixtureCodec::kWmv2Wmv: return "asf";
    case FixtureCodec::kH264Mp4: return "mp4";
    case FixtureCodec::kFfv1Mkv:
    case FixtureCodec::kH264Mkv: return "matroska";
    default: return "avi";
  }
}

AVPixelFormat firstSupported(const AVCodec* codec, std::initializer_list<AVPixelFormat> wanted) {
  for (AVPixelFormat f : wanted) {
    if (codec->pix_fmts == nullptr) return f;
    for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p) {
      if (*p == f) return f;
    }
  }
  return AV_PIX_FMT_NONE;
}

bool openVideoOutput(AVFormatContext* file, const FixtureVideoSpec& spec, Output* out,
                     std::string* error) {
  const AVCodec* codec = nullptr;
  AVPixelFormat format = AV_PIX_FMT_YUV420P;
  switch (spec.codec) {
    case FixtureCodec::kRawAvi:
      codec = avcodec_find_encoder(AV_CODEC_ID_RAWVIDEO);
      format = AV_PIX_FMT_BGR24;
      break;
    case FixtureCodec::kFfv1Avi:
    case FixtureCodec::kFfv1Mkv:
      codec = avcodec_find_encoder(AV_CODEC_ID_FFV1);
      if (codec != nullptr) format = firstSupported(codec, {AV_PIX_FMT_BGR0, AV_PIX_FMT_GBRP});
      break;
    case FixtureCodec::kMjpegAvi:
      codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
      format = AV_PIX_FMT_YUVJ420P;
      break;
    case FixtureCodec::kWmv2Wmv:
      codec = avcodec_find_encoder(AV_CODEC_ID_WMV2);
      break;
    case FixtureCodec::kH264Mp4:
    case FixtureCodec::kH264Mkv:
      codec = avcodec_find_encoder_by_name("libx264");
      break;
  }
  if (codec == nullptr || format == AV_PIX_FMT_NONE) {
    return fail(error, "no encoder for the requested fixture codec");
  }
  out->stream = avformat_new_stream(file, nullptr);
  out->encoder.reset(avcodec_alloc_context3(codec));
  out->frame.reset(av_frame_alloc());
  if (out->stream == nullptr || !out->encoder || !out->frame) return fail(error, "out of memory");

  AVCodecContext* enc = out->encoder.get();
  enc->width = spec.width;
  enc->height = spec.height;
  enc->pix_fmt = format;
  enc->time_base = AVRational{spec.fpsDen, spec.fpsNum};
  enc->framerate = AVRational{spec.fpsNum, spec.fpsDen};
  enc->gop_size = spec.keyframeInterval > 0 ? spec.keyframeInterval : 30;
  switch (spec.codec) {
    case FixtureCodec::kFfv1Avi:
    case FixtureCodec::kFfv1Mkv:
      enc->gop_size = spec.keyframeInterval > 0 ? spec.keyframeInterval : 1;
      break;
    case FixtureCodec::kMjpegAvi:
    case FixtureCodec::kWmv2Wmv:
      enc->flags |= AV_CODEC_FLAG_QSCALE;
      enc->global_quality = 3 * FF_QP2LAMBDA;
      if (spec.codec == FixtureCodec::kMjpegAvi) enc->color_range = AVCOL_RANGE_JPEG;
      break;
    case FixtureCodec::kH264Mp4:
    case FixtureCodec::kH264Mkv:
      av_opt_set(enc->priv_data, "preset", "veryfast", 0);
      av_opt_set(enc->priv_data, "crf", "18", 0);
      break;
    default:
      break;
  }
  if ((file->oformat->flags & AVFMT_GLOBALHEADER) != 0) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int r = avcodec_open2(enc, codec, nullptr);
  if (r < 0) return fail(error, std::string("cannot open the video encoder: ") + describe(r));
  r = avcodec_parameters_from_context(out->stream->codecpar, enc);
  if (r < 0) return fail(error, "cannot copy the encoder parameters: " + describe(r));
  out->stream->time_base = enc->time_base;
  out->stream->avg_frame_rate = enc->framerate;

  AVFrame* frame = out->frame.get();
  frame->format = format;
  frame->width = spec.width;
  frame->height = spec.height;
  r = av_frame_get_buffer(frame, 0);
  if (r < 0) return fail(error, "cannot make a video frame: " + describe(r));
  out->scaler.reset(sws_getContext(spec.width, spec.height, AV_PIX_FMT_RGB24, spec.width,
                                   spec.height, format, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr,
                                   nullptr, nullptr));
  if (!out->scaler) return fail(error, "cannot convert RGB24 for the encoder");
  out->total = spec.frameCount;
  return true;
}

bool openAudioOutput(AVFormatContext* file, const FixtureVideoSpec& spec, Output* out,
                     std::string* error) {
  AVCodecID id = AV_CODEC_ID_PCM_S16LE;
  if (spec.codec == FixtureCodec::kWmv2Wmv) id = AV_CODEC_ID_WMAV2;
  if (spec.codec == FixtureCodec::kH264Mp4) id = AV_CODEC_ID_AAC;
  const AVCodec* codec = avcodec_find_encoder(id);
  if (codec == nullptr) return fail(error, "no audio encoder for the fixture container");
  out->video = false;
  out->stream = avformat_new_stream(file, nullptr);
  out->encoder.reset(avcodec_alloc_context3(codec));
  out->frame.reset(av_frame_alloc());
  if (out->stream == nullptr || !out->encoder || !out->frame) return fail(error, "out of memory");

  AVCodecContext* enc = out->encoder.get();
  enc->sample_fmt = codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  enc->sample_rate = kSampleRate;
  enc->bit_rate = 64000;
  enc->time_base = AVRational{1, kSampleRate};
  const AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
  av_channel_layout_copy(&enc->ch_layout, &mono);
  if ((file->oformat->flags & AVFMT_GLOBALHEADER) != 0) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int r = avcodec_open2(enc, codec, nullptr);
  if (r < 0) return fail(error, "cannot open the audio encoder: " + describe(r));
  r = avcodec_parameters_from_context(out->stream->codecpar, enc);
  if (r < 0) return fail(error, "cannot copy the encoder parameters: " + describe(r));
  out->stream->time_base = enc->time_base;

  AVFrame* frame = out->frame.get();
  frame->format = enc->sample_fmt;
  frame->sample_rate = kSampleRate;
  frame->nb_samples = enc->frame_size > 0 ? enc->frame_size : kAudioFrameSamples;
  av_channel_layout_copy(&frame->ch_layout, &mono);
  r = av_frame_get_buffer(frame, 0);
  if (r < 0) return fail(error, "cannot make an audio frame: " + describe(r));
  out->total = av_rescale(spec.frameCount, int64_t{kSampleRate} * spec.fpsDen, spec.fpsNum);
  return true;
}

// Sends one frame (null: the end) and writes every packet the encoder gives.
bool encode(AVFormatContext* file, Output* out, AVFrame* frame, AVPacket* packet,
            std::string* error) {
  int r = avcodec_send_frame(out->encoder.get(), frame);
  if (r < 0) return fail(error, "cannot encode: " + describe(r));
  while ((r = avcodec_receive_packet(out->encoder.get(), packet)) == 0) {
    av_packet_rescale_ts(packet, out->encoder->time_base, out->stream->time_base);
    packet->stream_index = out->stream->index;
    r = av_interleaved_write_frame(file, packet);
    if (r < 0) return fail(error, "cannot write a packet: " + describe(r));
  }
  return r == AVERROR(EAGAIN) || r == AVERROR_EOF ? true
                                                   : fail(error, "cannot encode: " + describe(r));
}

}  // namespace

bool writeFixtureVideo(const std::string& path, const FixtureVideoSpec& spec,
                       const FixturePainter& paint, std::string* error) {
  if (spec.width <= 0 || spec.height <= 0 || spec.width % 2 != 0 || spec.height % 2 != 0 ||
      spec.fpsNum <= 0 || spec.fpsDen <= 0 || spec.frameCount <= 0) {
    return fail(error, "fixture spec: size must be even and positive, rate and count positive");
  }
  // The encoders' statistics are of no interest here; errors still show.
  if (av_log_get_level() > AV_LOG_ERROR) av_log_set_level(AV_LOG_ERROR);
  AVFormatContext* raw = nullptr;
  int r = avformat_alloc_output_context2(&raw, nullptr, containerOf(spec.codec), path.c_str());
  if (r < 0 || raw == nullptr) return fail(error, "cannot make the container: " + describe(r));
  OutputPtr file(raw);

  std::vector<Output> outputs(spec.layout == FixtureLayout::kVideo ||
                                      spec.layout == FixtureLayout::kAudioOnly
                                  ? 1
                                  : 2);
  bool ok = true;
  switch (spec.layout) {
    case FixtureLayout::kVideo:
      ok = openVideoOutput(file.get(), spec, &outputs[0], error);
      break;
    case FixtureLayout::kAudioOnly:
      ok = openAudioOutput(file.get(), spec, &outputs[0], error);
      break;
    case FixtureLayout::kAudioThenVideo:
      ok = openAudioOutput(file.get(), spec, &outputs[0], error) &&
           openVideoOutput(file.get(), spec, &outputs[1], error);
      break;
    case FixtureLayout::kTwoVideos:
      ok = openVideoOutput(file.get(), spec, &outputs[0], error) &&
           openVideoOutput(file.get(), spec, &outputs[1], error);
      outputs[1].inverted = true;
      break;
  }
  if (!ok) return false;

  if ((file->oformat->flags & AVFMT_NOFILE) == 0) {
    r = avio_open(&file->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (r < 0) return fail(error, "cannot create " + path + ": " + describe(r));
  }
  r = avformat_write_header(file.get(), nullptr);
  if (r < 0) return fail(error, "cannot write the header: " + describe(r));

  AvPacketPtr packet(av_packet_alloc());
  if (!packet) return fail(error, "out of memory");
  const int stride = 3 * spec.width;
  std::vector<uint8_t> picture(static_cast<size_t>(stride) * spec.height);
  std::vector<uint8_t> inverse(picture.size());
  int painted = -1;

  // Streams are written in time order: always the one that is furthest behind.
  while (true) {
    Output* next = nullptr;
    for (Output& o : outputs) {
      if (o.done) continue;
      if (next == nullptr || av_compare_ts(o.next, o.encoder->time_base, next->next,
                                           next->encoder->time_base) < 0) {
        next = &o;
      }
    }
    if (next == nullptr) break;
    if (next->next >= next->total) {
      if (!encode(file.get(), next, nullptr, packet.get(), error)) return false;
      next->done = true;
      continue;
    }
    AVFrame* frame = next->frame.get();
    r = av_frame_make_writable(frame);
    if (r < 0) return fail(error, "cannot reuse a frame: " + describe(r));
    if (next->video) {
      const int index = static_cast<int>(next->next);
      if (painted != index) {
        std::fill(picture.begin(), picture.end(), uint8_t{0});
        if (paint) paint(index, picture.data(), stride);
        painted = index;
      }
      const uint8_t* source = picture.data();
      if (next->inverted) {
        for (size_t i = 0; i < picture.size(); ++i) inverse[i] = static_cast<uint8_t>(255 - picture[i]);
        source = inverse.data();
      }
      const uint8_t* planes[1] = {source};
      const int strides[1] = {stride};
      sws_scale(next->scaler.get(), planes, strides, 0, spec.height, frame->data, frame->linesize);
      frame->pts = next->next;
      ++next->next;
    } else {
      const int64_t left = next->total - next->next;
      frame->nb_samples = static_cast<int>(std::min<int64_t>(left, frame->nb_samples));
      av_samples_set_silence(frame->data, 0, frame->nb_samples, frame->ch_layout.nb_channels,
                             static_cast<AVSampleFormat>(frame->format));
      frame->pts = next->next;
      next->next += frame->nb_samples;
    }
    if (!encode(file.get(), next, frame, packet.get(), error)) return false;
  }
  r = av_write_trailer(file.get());
  if (r < 0) return fail(error, "cannot finish the file: " + describe(r));
  return true;
}

namespace {
constexpr int kIdentityBits = 14;

int identityBlock(int width, int height) {
  return std::max(2, std::min({16, width / kIdentityBits, height / 2}));
}
}  // namespace

void paintFrameIdentity(int frame, uint8_t* rgb24, int stride, int width, int height) {
  for (int y = 0; y < height; ++y) {
    uint8_t* row = rgb24 + static_cast<size_t>(y) * stride;
    for (int x = 0; x < width; ++x) {
      const int wave = (x + 2 * y + 4 * frame) % 128;
      row[3 * x] = static_cast<uint8_t>(64 + wave);
      row[3 * x + 1] = static_cast<uint8_t>(96 + wave / 2);
      row[3 * x + 2] = static_cast<uint8_t>(160 - wave / 2);
    }
  }
  const int block = identityBlock(width, height);
  for (int bit = 0; bit < kIdentityBits; ++bit) {
    const bool set = ((frame >> bit) & 1) != 0;
    for (int half = 0; half < 2; ++half) {
      const uint8_t level = (set != (half == 1)) ? 255 : 0;
      for (int y = half * block; y < (half + 1) * block && y < height; ++y) {
        uint8_t* row = rgb24 + static_cast<size_t>(y) * stride;
        for (int x = bit * block; x < (bit + 1) * block && x < width; ++x) {
          row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = level;
        }
      }
    }
  }
}

int readFrameIdentity(const uint8_t* bgrBottomUp, int width, int height) {
  const int block = identityBlock(width, height);
  if (width < kIdentityBits * block || height < 2 * block) return -1;
  auto levelAt = [&](int x, int y) {
    const uint8_t* p = bgrBottomUp + 3 * (static_cast<size_t>(height - 1 - y) * width + x);
    return (p[0] + p[1] + p[2]) / 3;
  };
  int frame = 0;
  for (int bit = 0; bit < kIdentityBits; ++bit) {
    const int x = bit * block + block / 2;
    const int upper = levelAt(x, block / 2);
    const int lower = levelAt(x, block + block / 2);
    const bool set = upper > 160 && lower < 96;
    const bool clear = upper < 96 && lower > 160;
    if (!set && !clear) return -1;
    if (set) frame |= 1 << bit;
  }
  return frame;
}
