#include "plugin/engine_error.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
}

namespace movie_engine {

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

std::string SystemError(int error) { return std::strerror(error); }

void AvFree::operator()(AVCodecContext* encoder) const { avcodec_free_context(&encoder); }
void AvFree::operator()(AVFrame* frame) const { av_frame_free(&frame); }
void AvFree::operator()(AVPacket* packet) const { av_packet_free(&packet); }

}  // namespace movie_engine
