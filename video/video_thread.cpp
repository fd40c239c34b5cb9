#include "video/video_thread.h"

extern "C" {
#include <libavutil/log.h>
}

void prepareVideoThread() { av_log_set_level(AV_LOG_QUIET); }
void releaseVideoThread() {}
