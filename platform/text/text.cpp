#include "platform/text/text.h"

#include <QList>
#include <algorithm>
#include <QString>
#include <cmath>
#include <clocale>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace fw {

namespace {
QString ToQ(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The toolkit adopts the user's locale at start; numbers in texts always use "." regardless.
locale_t NumberLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
  return c;
}
}  // namespace

bool TextEquals(std::string_view a, std::string_view b) {
  if (a == b) return true;
  // Property and class look-ups compare ASCII names all the time, and most differ early; only a
  // non-ASCII letter needs the toolkit's Unicode case folding (which may fold it onto an ASCII
  // one). An ASCII prefix stands at the same places in both texts, so a difference found there
  // holds for the folded texts too, and so does a length that differs after it.
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    if ((static_cast<unsigned char>(a[i]) | static_cast<unsigned char>(b[i])) >= 0x80)
      return QString::compare(ToQ(a), ToQ(b), Qt::CaseInsensitive) == 0;
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return a.size() == b.size();
}

std::string Str(std::int64_t value) { return std::to_string(value); }

double Val(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const std::size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0.0;
  // An exponent counts only when digits follow it.
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) ++j;
      i = j;
    }
  }
  // strtod also reads hex and "inf"; hand it only the part checked above.
  const std::string number(text.substr(start, i - start));
  return strtod_l(number.c_str(), nullptr, NumberLocale());
}

std::int32_t ToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);  // truncates toward zero
}

std::int32_t InStr(std::string_view text, std::string_view find) {
  if (find.empty()) return 0;
  const QString q = ToQ(text);
  const auto at = q.indexOf(ToQ(find), 0, Qt::CaseInsensitive);
  if (at < 0) return 0;
  // Counted in characters, as Right counts them, not in UTF-16 units.
  return static_cast<std::int32_t>(QStringView(q).left(at).toUcs4().size() + 1);
}

std::string Right(std::string_view text, std::int32_t count) {
  if (count <= 0) return {};
  const QString q = ToQ(text);
  const auto characters = q.toUcs4();
  if (characters.size() <= count) return std::string(text);
  const auto tail = characters.mid(characters.size() - count);
  return QString::fromUcs4(reinterpret_cast<const char32_t*>(tail.constData()), tail.size()).toUtf8().toStdString();
}

std::string Trim(std::string_view text, std::string_view blanks) {
  const auto first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(blanks) - first + 1));
}

std::int64_t LeadingNumber(std::string_view text) {
  std::int64_t n = 0;
  for (char c : text) {
    if (!IsDigit(c)) break;
    if (n > (std::numeric_limits<std::int64_t>::max() - 9) / 10) return std::numeric_limits<std::int64_t>::max();
    n = n * 10 + (c - '0');
  }
  return n;
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = text.find(separator, from);
    if (at == std::string_view::npos) {
      pieces.emplace_back(text.substr(from));
      return pieces;
    }
    pieces.emplace_back(text.substr(from, at - from));
    from = at + separator.size();
  }
}

}  // namespace fw
