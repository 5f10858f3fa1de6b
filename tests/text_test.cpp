#include "platform/text/text.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <clocale>
#include <cstdlib>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using fw::InStr;
using fw::Right;
using fw::Split;
using fw::Val;

TEST(Text, EqualityIgnoresLetterCase) {
  EXPECT_TRUE(fw::TextEquals("start", "Start"));
  EXPECT_TRUE(fw::TextEquals(".JPG", ".jpg"));
  EXPECT_TRUE(fw::TextEquals(".Mp4", ".mP4"));
  EXPECT_TRUE(fw::TextEquals("", ""));
  EXPECT_TRUE(fw::TextEquals("Ärger", "ärger"));
  EXPECT_FALSE(fw::TextEquals("stop", "start"));
  EXPECT_FALSE(fw::TextEquals(".jpg", ".jpeg"));
  EXPECT_FALSE(fw::TextEquals("", " "));
  // Only letters have a case: these pairs differ by the same bit as 'A' and 'a'.
  EXPECT_FALSE(fw::TextEquals("@", "`"));
  EXPECT_FALSE(fw::TextEquals("a[", "A{"));
  // A non-ASCII letter may fold onto an ASCII one (KELVIN SIGN onto k).
  EXPECT_TRUE(fw::TextEquals("\u212A", "k"));
}

TEST(Text, StrWritesPlainDecimals) {
  EXPECT_EQ(fw::Str(0), "0");
  EXPECT_EQ(fw::Str(7), "7");
  EXPECT_EQ(fw::Str(2026), "2026");
  EXPECT_EQ(fw::Str(-12), "-12");
  EXPECT_EQ(fw::Str(std::numeric_limits<std::int32_t>::min()), "-2147483648");
}

TEST(Text, ValReadsTheLongestLeadingNumber) {
  EXPECT_EQ(Val("12.5"), 12.5);
  EXPECT_EQ(Val("  7x"), 7.0);
  EXPECT_EQ(Val("\t25"), 25.0);
  EXPECT_EQ(Val("1e3"), 1000.0);
  EXPECT_EQ(Val("1E-2"), 0.01);
  EXPECT_EQ(Val("2.5e+1s"), 25.0);
  EXPECT_EQ(Val("1e"), 1.0);
  EXPECT_EQ(Val("1e+"), 1.0);
  EXPECT_EQ(Val("-3"), -3.0);
  EXPECT_EQ(Val("+4"), 4.0);
  EXPECT_EQ(Val(".5"), 0.5);
  EXPECT_EQ(Val("5."), 5.0);
  EXPECT_EQ(Val("2026,12,8"), 2026.0);
  EXPECT_EQ(Val("09"), 9.0);
  EXPECT_EQ(Val("2147483"), 2147483.0);
}

TEST(Text, ValGivesZeroForAnythingElse) {
  for (const char* text : {"abc", "", " ", "-", "+", ".", "-.", "e5", "0x10", "inf", "nan",
                           "infinity", "- 3", "x12"})
    EXPECT_EQ(Val(text), 0.0) << '"' << text << '"';
  EXPECT_EQ(Val("0x10"), 0.0);
}

// A German locale, made for the test from the system's locale sources: it writes decimals with
// a comma and groups thousands with a point.
class GermanLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    QProcess localedef;
    localedef.start("localedef", {"-i", "de_DE", "-f", "UTF-8", folder_.filePath("de_DE.UTF-8")});
    ASSERT_TRUE(localedef.waitForFinished(120000)) << "localedef did not run: install locales";
    ASSERT_EQ(localedef.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(localedef.exitCode(), 0) << localedef.readAllStandardError().toStdString();
    setenv("LOCPATH", folder_.path().toLocal8Bit().constData(), 1);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  }
  void TearDown() override {
    std::setlocale(LC_NUMERIC, "C");
    unsetenv("LOCPATH");
  }

 private:
  QTemporaryDir folder_;
};

TEST_F(GermanLocale, ValAndStrIgnoreTheUsersLocale) {
  EXPECT_EQ(std::strtod("12,5", nullptr), 12.5);  // the locale is in force
  EXPECT_EQ(Val("12.5"), 12.5);
  EXPECT_EQ(Val("12,5"), 12.0);
  EXPECT_EQ(Val("2026,12,8,10,5,0"), 2026.0);
  EXPECT_EQ(fw::Str(1234567), "1234567");
  EXPECT_EQ(fw::Str(-10), "-10");
}

TEST(Text, ValHandlesNumbersBeyondRange) {
  EXPECT_TRUE(std::isinf(Val("1e999")));
  EXPECT_GT(Val("1e999"), 0);
  EXPECT_EQ(Val("1e-999"), 0.0);
}

TEST(Text, ToInt32TruncatesTowardZeroAndSaturates) {
  EXPECT_EQ(fw::ToInt32(10.0), 10);
  EXPECT_EQ(fw::ToInt32(12.9), 12);
  EXPECT_EQ(fw::ToInt32(-12.9), -12);
  EXPECT_EQ(fw::ToInt32(-0.5), 0);
  EXPECT_EQ(fw::ToInt32(2147483647.0), 2147483647);
  EXPECT_EQ(fw::ToInt32(2147483646.9), 2147483646);
  EXPECT_EQ(fw::ToInt32(3e9), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(fw::ToInt32(-2147483648.0), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(fw::ToInt32(-2147483648.9), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(fw::ToInt32(-1e300), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(fw::ToInt32(INFINITY), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(fw::ToInt32(-INFINITY), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(fw::ToInt32(std::nan("")), 0);
  EXPECT_EQ(fw::ToInt32(Val("abc")), 0);
}

TEST(Text, InStrFindsOneBasedIgnoringCase) {
  EXPECT_EQ(InStr("/pics/2026-12-08-01-05-09.jpg", ".jpg"), 26);
  EXPECT_EQ(InStr("A.JPG", ".jpg"), 2);
  EXPECT_EQ(InStr(".jpg", ".jpg"), 1);
  EXPECT_EQ(InStr("/x.jpgs/a.txt", ".jpg"), 3);
  EXPECT_EQ(InStr("/pics/a.jpeg", ".jpg"), 0);
  EXPECT_EQ(InStr("", ".jpg"), 0);
  EXPECT_EQ(InStr("abc", ""), 0);
  EXPECT_EQ(InStr("abcabc", "c"), 3);
  // Positions count characters, as Right does.
  EXPECT_EQ(InStr("ä.jpg", ".jpg"), 2);
  EXPECT_EQ(InStr("\xF0\x9F\x93\xB7.jpg", ".jpg"), 2);  // a camera emoji, one character
}

TEST(Text, RightCountsCharacters) {
  EXPECT_EQ(Right("/pics/a.jpg", 4), ".jpg");
  EXPECT_EQ(Right("/pics/a.MP4", 4), ".MP4");
  EXPECT_EQ(Right(".jpg", 4), ".jpg");
  EXPECT_EQ(Right("a.b", 4), "a.b");
  EXPECT_EQ(Right("", 4), "");
  EXPECT_EQ(Right("abc", 0), "");
  EXPECT_EQ(Right("abc", -1), "");
  EXPECT_EQ(Right("grüße", 4), "rüße");
  EXPECT_EQ(Right("x\xF0\x9F\x93\xB7", 1), "\xF0\x9F\x93\xB7");
}

TEST(Text, SplitKeepsEveryPiece) {
  EXPECT_EQ(Split("2009,3,5,9,7,3", ","),
            (std::vector<std::string>{"2009", "3", "5", "9", "7", "3"}));
  EXPECT_EQ(Split("", ","), (std::vector<std::string>{""}));
  EXPECT_EQ(Split("a,,b,", ","), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(Split(",a", ","), (std::vector<std::string>{"", "a"}));
  EXPECT_EQ(Split("2026", ","), (std::vector<std::string>{"2026"}));
  EXPECT_EQ(Split("a::b", "::"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Split("abc", ""), (std::vector<std::string>{"abc"}));
}

}  // namespace
