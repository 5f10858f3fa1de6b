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
