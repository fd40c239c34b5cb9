#pragma once
// Owning handles for FFmpeg objects, each freed by its own free function.
// Include only from source files that use FFmpeg (video/*.cpp, the fixture
// writer in tools/); nothing else sees an FFmpeg type.

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

struct AvCodecFreer {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct AvFrameFreer {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct AvPacketFreer {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFreer {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct AvBytesFreer {
  void operator()(uint8_t* p) const { av_free(p); }
};
using AvCodecPtr = std::unique_ptr<AVCodecContext, AvCodecFreer>;
using AvFramePtr = std::unique_ptr<AVFrame, AvFrameFreer>;
using AvPacketPtr = std::unique_ptr<AVPacket, AvPacketFreer>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFreer>;
using AvBytesPtr = std::unique_ptr<uint8_t, AvBytesFreer>;
