#include "platform/files/jpeg_samples.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>

// The JPEG library's header wants <cstdio> first.
#include <jpeglib.h>

namespace fw {

namespace {

// The toolkit refuses pictures of more than 256 MB at four bytes a pixel; the same files are
// refused here, and the toolkit then says no to them as before.
constexpr std::uint64_t kMaxPixels = (256u << 20) / 4;

// The library's default on an error is to end the process; a jump back is the way out it allows.
struct ErrorTrap {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void JumpBack(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1);
}

// Warnings are counted (a damaged file is left to the toolkit), not printed.
void Silent(j_common_ptr) {}

bool HalfSizeColour(const jpeg_decompress_struct& info) {
  const jpeg_component_info* c = info.comp_info;
  return info.num_components == 3 && info.jpeg_color_space == JCS_YCbCr &&
         info.data_precision == 8 && info.image_width > 0 && info.image_height > 0 &&
         static_cast<std::uint64_t>(info.image_width) * info.image_height <= kMaxPixels &&
         c[0].h_samp_factor == 2 && c[0].v_samp_factor == 2 && c[1].h_samp_factor == 1 &&
         c[1].v_samp_factor == 1 && c[2].h_samp_factor == 1 && c[2].v_samp_factor == 1;
}

// The library writes whole blocks of 16 by 16 luma samples: the planes are that much larger.
bool Lay(JpegSamples& s, std::int32_t width, std::int32_t height) {
  const std::int32_t blocksWide = (width + 15) / 16, blocksHigh = (height + 15) / 16;
  s.width = width;
  s.height = height;
  s.lumaBytesPerRow = (blocksWide * 16 + 63) & ~63;
  s.chromaBytesPerRow = (blocksWide * 8 + 63) & ~63;
  const std::size_t luma = static_cast<std::size_t>(s.lumaBytesPerRow) * blocksHigh * 16;
  const std::size_t chroma = static_cast<std::size_t>(s.chromaBytesPerRow) * blocksHigh * 8;
  try {
    if (s.memory.size() < luma + 2 * chroma) s.memory.resize(luma + 2 * chroma);
  } catch (const std::bad_alloc&) {
    return false;
  }
  s.cbAt = luma;
  s.crAt = luma + chroma;
  return true;
}

// No object with a destructor lives in here: an error jumps straight out of the library.
bool Decode(std::FILE* file, JpegSamples& samples) {
  jpeg_decompress_struct info;
  ErrorTrap trap;
  info.err = jpeg_std_error(&trap.manager);
  trap.manager.error_exit = JumpBack;
  trap.manager.output_message = Silent;
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || !HalfSizeColour(info) ||
      !Lay(samples, static_cast<std::int32_t>(info.image_width),
           static_cast<std::int32_t>(info.image_height))) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.raw_data_out = TRUE;
  info.out_color_space = JCS_YCbCr;
  info.dct_method = JDCT_ISLOW;
  jpeg_start_decompress(&info);
  JSAMPROW yRows[16], cbRows[8], crRows[8];
  JSAMPARRAY planes[3] = {yRows, cbRows, crRows};
  std::uint8_t* const y = samples.memory.data();
  while (info.output_scanline < info.output_height) {
    const std::size_t line = info.output_scanline;
    for (std::size_t i = 0; i < 16; ++i)
      yRows[i] = y + (line + i) * samples.lumaBytesPerRow;
    for (std::size_t i = 0; i < 8; ++i) {
      cbRows[i] = y + samples.cbAt + (line / 2 + i) * samples.chromaBytesPerRow;
      crRows[i] = y + samples.crAt + (line / 2 + i) * samples.chromaBytesPerRow;
    }
    if (jpeg_read_raw_data(&info, planes, 16) == 0) {
      jpeg_destroy_decompress(&info);
      return false;
    }
  }
  jpeg_finish_decompress(&info);
  const bool clean = trap.manager.num_warnings == 0;
  jpeg_destroy_decompress(&info);
  return clean;
}

std::uint8_t Clamp(int value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); }

}  // namespace

bool ReadJpegSamples(const std::string& absolutePath, JpegSamples& samples) {
  // Only regular files: reading a pipe or device could block for ever.
  std::error_code error;
  if (absolutePath.empty() ||
      !std::filesystem::is_regular_file(std::filesystem::path(absolutePath), error))
    return false;
  std::FILE* file = std::fopen(absolutePath.c_str(), "rbe");
  if (!file) return false;
  const bool read = Decode(file, samples);
  std::fclose(file);
  return read;
}

QImage JpegSamplesImage(const JpegSamples& s) {
  QImage image(s.width, s.height, QImage::Format_RGB32);
  if (image.isNull()) return image;
  for (std::int32_t row = 0; row < s.height; ++row) {
    const std::uint8_t* y = s.Y() + static_cast<std::size_t>(row) * s.lumaBytesPerRow;
    const std::uint8_t* cb = s.Cb() + static_cast<std::size_t>(row / 2) * s.chromaBytesPerRow;
    const std::uint8_t* cr = s.Cr() + static_cast<std::size_t>(row / 2) * s.chromaBytesPerRow;
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(row));
    for (std::int32_t x = 0; x < s.width; ++x) {
      // JFIF's full-range BT.601, in 16.16 fixed point.
      const int l = y[x] << 16, u = cb[x / 2] - 128, v = cr[x / 2] - 128;
      out[x] = qRgb(Clamp((l + 91881 * v + 32768) >> 16),
                    Clamp((l - 22554 * u - 46802 * v + 32768) >> 16),
                    Clamp((l + 116130 * u + 32768) >> 16));
    }
  }
  return image;
}

}  // namespace fw
