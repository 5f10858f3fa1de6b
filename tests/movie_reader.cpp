#include "tests/movie_reader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace {

struct Closer {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
  void operator()(AVPacket* p) const { av_packet_free(&p); }
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};

using Format = std::unique_ptr<AVFormatContext, Closer>;

// The movie opened with its streams probed; empty when it has no video stream.
Format OpenVideo(const std::string& path) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return nullptr;
  Format format(raw);
  if (avformat_find_stream_info(raw, nullptr) < 0 ||
      av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0) < 0)
    return nullptr;
  return format;
}

}  // namespace

std::optional<MovieFacts> ReadMovie(const std::string& path, int lumaOfFrame) {
  const auto format = OpenVideo(path);
  if (!format) return std::nullopt;
  AVFormatContext* raw = format.get();
  const int index = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
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
      if (facts.decoded == lumaOfFrame) {
        const auto plane = [&](std::vector<std::uint8_t>& to, int index, int width, int rows) {
          for (int y = 0; y < rows; ++y)
            to.insert(to.end(), frame->data[index] + y * frame->linesize[index],
                      frame->data[index] + y * frame->linesize[index] + width);
        };
        plane(facts.luma, 0, frame->width, frame->height);
        plane(facts.cb, 1, (frame->width + 1) / 2, (frame->height + 1) / 2);
        plane(facts.cr, 2, (frame->width + 1) / 2, (frame->height + 1) / 2);
      }
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

namespace {

std::uint64_t BigEndian(const std::string& data, std::size_t at, int bytes) {
  std::uint64_t value = 0;
  for (int i = 0; i < bytes; ++i)
    value = value << 8 | static_cast<unsigned char>(data.at(at + static_cast<std::size_t>(i)));
  return value;
}

// Walks the boxes in [begin, end), descending into the containers on the way to the tables.
void Walk(const std::string& d, std::size_t begin, std::size_t end, int depth, MovieBoxes& m,
          std::uint64_t& movieScale) {
  for (std::size_t at = begin; at + 8 <= end;) {
    std::uint64_t size = BigEndian(d, at, 4);
    const std::string type = d.substr(at + 4, 4);
    std::size_t header = 8;
    if (size == 1) size = BigEndian(d, at + 8, 8), header = 16;
    if (size == 0) size = end - at;
    if (size < header || at + size > end) return;
    const std::size_t body = at + header;
    const bool v1 = d[body] == 1;
    if (depth == 0) m.topLevel += (m.topLevel.empty() ? "" : " ") + type;
    if (type == "mvhd") {
      movieScale = BigEndian(d, body + (v1 ? 20 : 12), 4);
      m.movieSeconds = double(BigEndian(d, body + (v1 ? 24 : 16), v1 ? 8 : 4)) / movieScale;
    } else if (type == "tkhd") {
      m.trackSeconds = double(BigEndian(d, body + (v1 ? 28 : 20), v1 ? 8 : 4)) / movieScale;
    } else if (type == "mdhd") {
      const double scale = double(BigEndian(d, body + (v1 ? 20 : 12), 4));
      m.mediaSeconds = double(BigEndian(d, body + (v1 ? 24 : 16), v1 ? 8 : 4)) / scale;
      if (m.editMediaStart >= 0) m.editMediaStart /= scale;
    } else if (type == "elst") {
      m.edits = static_cast<int>(BigEndian(d, body + 4, 4));
      if (m.edits > 0) m.editMediaStart = double(BigEndian(d, body + (v1 ? 16 : 12), v1 ? 8 : 4));
    } else if (type == "stss") {
      m.keyframes = static_cast<int>(BigEndian(d, body + 4, 4));
    } else if (type == "moov" || type == "trak" || type == "edts" || type == "mdia" ||
               type == "minf" || type == "stbl") {
      Walk(d, body, at + size, depth + 1, m, movieScale);
    }
    at += size;
  }
}

}  // namespace

std::optional<MovieBoxes> ReadBoxes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  const std::string data((std::istreambuf_iterator<char>(file)), {});
  MovieBoxes boxes;
  std::uint64_t movieScale = 1;
  try {
    Walk(data, 0, data.size(), 0, boxes, movieScale);
  } catch (const std::out_of_range&) {
    return std::nullopt;
  }
  return boxes;
}

std::optional<std::vector<std::uint8_t>> LumaAfterSeek(const std::string& path, double seconds) {
  const auto format = OpenVideo(path);
  if (!format) return std::nullopt;
  AVFormatContext* raw = format.get();
  const int index = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const AVStream* stream = raw->streams[index];
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  std::unique_ptr<AVCodecContext, Closer> decoder(avcodec_alloc_context3(codec));
  if (!codec || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0 ||
      avcodec_open2(decoder.get(), codec, nullptr) < 0)
    return std::nullopt;
  const auto target = static_cast<std::int64_t>(seconds / av_q2d(stream->time_base));
  if (av_seek_frame(raw, index, target, AVSEEK_FLAG_BACKWARD) < 0) return std::nullopt;
  const std::int64_t period = av_rescale_q(1, av_inv_q(stream->avg_frame_rate), stream->time_base);
  std::unique_ptr<AVPacket, Closer> packet(av_packet_alloc());
  std::unique_ptr<AVFrame, Closer> frame(av_frame_alloc());
  // The frame shown at the target is the one whose time span holds it.
  auto shown = [&]() -> std::optional<std::vector<std::uint8_t>> {
    while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      if (frame->best_effort_timestamp + period <= target) continue;
      std::vector<std::uint8_t> luma;
      for (int y = 0; y < frame->height; ++y)
        luma.insert(luma.end(), frame->data[0] + y * frame->linesize[0],
                    frame->data[0] + y * frame->linesize[0] + frame->width);
      return luma;
    }
    return std::nullopt;
  };
  while (av_read_frame(raw, packet.get()) >= 0) {
    if (packet->stream_index == index) avcodec_send_packet(decoder.get(), packet.get());
    av_packet_unref(packet.get());
    if (auto luma = shown()) return luma;
  }
  avcodec_send_packet(decoder.get(), nullptr);
  return shown();
}
