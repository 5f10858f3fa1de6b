#include "platform/files/picture.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QPainter>

#include "platform/object/classes.h"

namespace {

using fw::Picture;
using fw::Ref;

// 640 x 480 in four quadrants: red top left, green top right, blue bottom left, yellow
// bottom right.
Ref<Picture> FourColours() {
  QImage image(640, 480, QImage::Format_RGB32);
  QPainter painter(&image);
  painter.fillRect(0, 0, 320, 240, Qt::red);
  painter.fillRect(320, 0, 320, 240, Qt::green);
  painter.fillRect(0, 240, 320, 240, Qt::blue);
  painter.fillRect(320, 240, 320, 240, Qt::yellow);
  painter.end();
  return fw::MakeRef<Picture>(image);
}

QColor At(const Ref<Picture>& p, int x, int y) {
  return QColor::fromRgba(p->Image().pixel(x, y));
}

TEST(Picture, NewPictureDepthDecidesFormatAndBackground) {
  auto argb = fw::NewPicture(280, 203, 32);
  EXPECT_EQ(argb->Width(), 280);
  EXPECT_EQ(argb->Height(), 203);
  EXPECT_EQ(argb->Image().format(), QImage::Format_ARGB32_Premultiplied);
  EXPECT_EQ(qAlpha(argb->Image().pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(argb->Image().pixel(279, 202)), 0);

  auto rgb = fw::NewPicture(3, 2, 24);
  EXPECT_EQ(rgb->Image().format(), QImage::Format_RGB32);
  EXPECT_EQ(At(rgb, 2, 1), QColor(Qt::white));
}

TEST(Picture, NewPictureRejectsEmptyAndImpossibleSizes) {
  EXPECT_THROW(fw::NewPicture(0, 10, 32), fw::OutOfBoundsException);
  EXPECT_THROW(fw::NewPicture(10, 0, 32), fw::OutOfBoundsException);
  EXPECT_THROW(fw::NewPicture(-5, 10, 24), fw::OutOfBoundsException);
  EXPECT_THROW(fw::NewPicture(1 << 30, 1 << 30, 32), fw::OutOfBoundsException);
}

TEST(Picture, DrawPictureStretchesTheWholeSourceIntoThePreview) {
  auto source = FourColours();
  auto preview = fw::NewPicture(280, 203, 32);
  preview->GraphicsContext()->DrawPicture(source, 0, 0, preview->Width(), preview->Height(), 0,
                                          0, source->Width(), source->Height());
  EXPECT_EQ(At(preview, 0, 0), QColor(Qt::red));
  EXPECT_EQ(At(preview, 279, 0), QColor(Qt::green));
  EXPECT_EQ(At(preview, 0, 202), QColor(Qt::blue));
  EXPECT_EQ(At(preview, 279, 202), QColor(Qt::yellow));
  // Squeezed, not cropped: the quadrants meet in the middle of the preview.
  EXPECT_EQ(At(preview, 135, 95), QColor(Qt::red));
  EXPECT_EQ(At(preview, 144, 95), QColor(Qt::green));
  EXPECT_EQ(At(preview, 135, 107), QColor(Qt::blue));
  EXPECT_EQ(At(preview, 144, 107), QColor(Qt::yellow));
  EXPECT_EQ(qAlpha(preview->Image().pixel(140, 101)), 255);  // nothing left transparent
}

TEST(Picture, DrawPictureTakesOnlyThePartAskedForAndOnlyWhereAsked) {
  auto source = FourColours();
  auto target = fw::NewPicture(100, 100, 24);
  auto g = target->GraphicsContext();
  g->DrawPicture(source, 10, 20, 50, 40, 320, 240, 320, 240);  // the yellow quadrant
  EXPECT_EQ(At(target, 10, 20), QColor(Qt::yellow));
  EXPECT_EQ(At(target, 59, 59), QColor(Qt::yellow));
  EXPECT_EQ(At(target, 9, 20), QColor(Qt::white));
  EXPECT_EQ(At(target, 60, 59), QColor(Qt::white));
  EXPECT_EQ(At(target, 10, 60), QColor(Qt::white));

  // Empty rectangles draw nothing rather than mirroring.
  g->DrawPicture(source, 99, 99, -50, -50, 0, 0, 640, 480);
  g->DrawPicture(source, 0, 0, 100, 100, 0, 0, 0, 480);
  EXPECT_EQ(At(target, 80, 80), QColor(Qt::white));
}

TEST(Picture, DrawingAnAbsentPictureRaisesNilObject) {
  auto target = fw::NewPicture(10, 10, 32);
  EXPECT_THROW(target->GraphicsContext()->DrawPicture(nullptr, 0, 0, 10, 10, 0, 0, 10, 10),
               fw::NilObjectException);
  fw::Graphics detached(nullptr);
  EXPECT_THROW(detached.DrawPicture(target, 0, 0, 10, 10, 0, 0, 10, 10), fw::NilObjectException);
}

TEST(Picture, GraphicsKeepsItsPictureAlive) {
  Ref<fw::Graphics> g = fw::NewPicture(4, 4, 24)->GraphicsContext();
  ASSERT_TRUE(g->Target());
  EXPECT_EQ(g->Target()->Width(), 4);
  g->DrawPicture(FourColours(), 0, 0, 4, 4, 0, 0, 320, 240);
  EXPECT_EQ(At(g->Target(), 3, 3), QColor(Qt::red));
}

TEST(Picture, ClassTablesReachSizesAndDrawing) {
  const fw::ClassRecord& pictureClass = Picture::ClassHandle();
  const fw::ClassRecord& graphicsClass = fw::Graphics::ClassHandle();
  EXPECT_EQ(&pictureClass, fw::FindClass("Picture"));
  EXPECT_EQ(&graphicsClass, fw::FindClass("Graphics"));

  auto preview = fw::NewPicture(28, 20, 32);
  EXPECT_EQ(fw::FromValue<std::int32_t>(pictureClass.FindProperty("Width")->get(*preview)), 28);
  EXPECT_EQ(fw::FromValue<std::int32_t>(pictureClass.FindProperty("Height")->get(*preview)), 20);
  EXPECT_THROW(pictureClass.FindProperty("Width")->set(*preview, std::int32_t{5}),
               fw::RuntimeException);
  auto g = fw::FromValue<Ref<fw::Graphics>>(pictureClass.FindProperty("Graphics")->get(*preview));
  ASSERT_TRUE(g);
  fw::Call(*g, "DrawPicture", FourColours(), 0, 0, 28, 20, 0, 0, 640, 480);
  EXPECT_EQ(At(preview, 27, 19), QColor(Qt::yellow));
  EXPECT_THROW(fw::Call(*g, "DrawPicture", Ref<Picture>(), 0, 0, 28, 20, 0, 0, 640, 480),
               fw::NilObjectException);
}

}  // namespace

// ----- A JPEG's own samples ------------------------------------------------------------------

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <jpeglib.h>

namespace {

// A JPEG of `image` with its colour stored at 1 / h of the width and 1 / v of the height: the
// toolkit always writes half width and half height.
bool WriteJpeg(const QString& path, const QImage& image, int h, int v) {
  std::FILE* file = std::fopen(path.toLocal8Bit().constData(), "wb");
  if (!file) return false;
  jpeg_compress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(image.width());
  info.image_height = static_cast<JDIMENSION>(image.height());
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  info.comp_info[0].h_samp_factor = h;
  info.comp_info[0].v_samp_factor = v;
  jpeg_start_compress(&info, TRUE);
  const QImage rows = image.convertToFormat(QImage::Format_RGB888);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rows.constScanLine(static_cast<int>(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fclose(file) == 0;
}

// Smooth colour everywhere, so that ways of spreading colour samples over pixels differ little.
QImage Gradient(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.setPixel(x, y, qRgb(40 + 160 * x / width, 200 - 150 * y / height, 90));
  return image;
}

int LargestDifference(const QImage& a, const QImage& b) {
  int largest = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q))});
    }
  return largest;
}

TEST(JpegSamples, HalfSizeColourIsReadAsStoredAndDrawnAsTheToolkitDrawsIt) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  fw::JpegSamples samples;
  for (const QSize size : {QSize(64, 48), QSize(33, 25), QSize(1, 1)}) {
    const QString path = dir.filePath("p.jpg");
    ASSERT_TRUE(Gradient(size.width(), size.height()).save(path, "JPEG", 95));
    ASSERT_TRUE(fw::ReadJpegSamples(path.toStdString(), samples)) << size.width();
    EXPECT_EQ(QSize(samples.width, samples.height), size);
    const QImage read(path);
    EXPECT_LE(LargestDifference(fw::JpegSamplesImage(samples), read), 6) << size.width();

    // A picture made of them is its samples until something is drawn into it.
    const auto shared = std::make_shared<const fw::JpegSamples>(samples);
    const auto picture = fw::MakeRef<Picture>(shared);
    EXPECT_EQ(QSize(picture->Width(), picture->Height()), size);
    EXPECT_EQ(std::as_const(*picture).Image().size(), size);
    EXPECT_EQ(picture->Samples(), shared);
    QPainter(&picture->Image()).fillRect(0, 0, 1, 1, Qt::black);
    EXPECT_EQ(picture->Samples(), nullptr);
    EXPECT_EQ(At(picture, 0, 0), QColor(Qt::black));
  }
  // Mid grey is Y, Cb and Cr at the middle of the full range.
  const QString grey = dir.filePath("grey.jpg");
  QImage flat(16, 16, QImage::Format_RGB32);
  flat.fill(QColor(128, 128, 128));
  ASSERT_TRUE(flat.save(grey, "JPEG", 95));
  ASSERT_TRUE(fw::ReadJpegSamples(grey.toStdString(), samples));
  EXPECT_NEAR(samples.Y()[8 * samples.lumaBytesPerRow + 8], 128, 1);
  EXPECT_NEAR(samples.Cb()[4 * samples.chromaBytesPerRow + 4], 128, 1);
  EXPECT_NEAR(samples.Cr()[4 * samples.chromaBytesPerRow + 4], 128, 1);
}

TEST(JpegSamples, OtherLayoutsAndDamagedFilesAreLeftToTheToolkit) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QImage image = Gradient(40, 30);
  ASSERT_TRUE(WriteJpeg(dir.filePath("444.jpg"), image, 1, 1));
  ASSERT_TRUE(WriteJpeg(dir.filePath("422.jpg"), image, 2, 1));
  ASSERT_TRUE(WriteJpeg(dir.filePath("420.jpg"), image, 2, 2));
  ASSERT_TRUE(image.convertToFormat(QImage::Format_Grayscale8).save(dir.filePath("grey.jpg")));
  ASSERT_TRUE(image.save(dir.filePath("png.jpg"), "PNG"));
  QFile whole(dir.filePath("420.jpg"));
  ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
  QFile cut(dir.filePath("cut.jpg"));
  ASSERT_TRUE(cut.open(QIODevice::WriteOnly) && cut.write(whole.read(whole.size() / 2)) > 0);
  cut.close();
  QFile(dir.filePath("empty.jpg")).open(QIODevice::WriteOnly);

  fw::JpegSamples samples;
  EXPECT_TRUE(fw::ReadJpegSamples(dir.filePath("420.jpg").toStdString(), samples));
  for (const char* name : {"444.jpg", "422.jpg", "grey.jpg", "png.jpg", "cut.jpg", "empty.jpg",
                           "missing.jpg", ""})
    EXPECT_FALSE(fw::ReadJpegSamples(dir.filePath(name).toStdString(), samples)) << name;
}

}  // namespace
