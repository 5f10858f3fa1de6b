#include "tests/movie_reader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <memory>

namespace {

struct Closer {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
  void operator()(AVPacket* p) const { av_packet_free(&p); }
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};

}  // namespace

std::optional<MovieFacts> ReadMovie(const std::string& path, int lumaOfFrame) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return std::nullopt;
  std::unique_ptr<AVFormatContext, Closer> format(raw);
  if (avformat_find_stream_info(raw, nullptr) < 0) return std::nullopt;
  const int index = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) return std::nullopt;
  const AVStream* stream = raw->streams[index];
  const AVCodecParameters* par = stream->codecpar;

  MovieFacts facts;
  facts.codec = avcodec_get_name(par->codec_id);
  for (int shift = 0; shift < 32; shift += 8)
    facts.tag += static_cast<char>((par->codec_tag >> shift) & 0xff);
  facts.width = par->width;
  facts.height = par->height;
  facts.rateNum = stream->avg_frame_rate.num;
  facts.rateDen = stream->avg_frame_rate.den;

  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  std::unique_ptr<AVCodecContext, Closer> decoder(avcodec_alloc_context3(codec));
  if (!codec || avcodec_parameters_to_context(decoder.get(), par) < 0 ||
      avcodec_open2(decoder.get(), codec, nullptr) < 0)
    return std::nullopt;
  std::unique_ptr<AVPacket, Closer> packet(av_packet_alloc());
  std::unique_ptr<AVFrame, Closer> frame(av_frame_alloc());
  auto receive = [&] {
    while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      if (facts.decoded == lumaOfFrame)
        for (int y = 0; y < frame->height; ++y)
          facts.luma.insert(facts.luma.end(), frame->data[0] + y * frame->linesize[0],
                            frame->data[0] + y * frame->linesize[0] + frame->width);
      ++facts.decoded;
    }
  };
  while (av_read_frame(raw, packet.get()) >= 0) {
    if (packet->stream_index == index) {
      ++facts.frames;
      avcodec_send_packet(decoder.get(), packet.get());
      receive();
    }
    av_packet_unref(packet.get());
  }
  avcodec_send_packet(decoder.get(), nullptr);
  receive();
  return facts;
}
