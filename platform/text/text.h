#pragma once

// Text services. Texts are UTF-8 std::strings.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// Text equality `=`: letter case is ignored, so "start" equals "Start".
bool TextEquals(std::string_view a, std::string_view b);

// Decimal text of an integer: no blank, no leading zero, a "-" for negatives.
std::string Str(std::int64_t value);

// The longest leading decimal number after leading blanks (sign, digits, fraction, exponent);
// 0 for anything else.
double Val(std::string_view text);

// Double to Int32: truncation toward zero, saturating at the Int32 limits; NaN gives 0.
std::int32_t ToInt32(double value);

// 1-based position of `find` in `text`, ignoring letter case; 0 when absent or empty.
std::int32_t InStr(std::string_view text, std::string_view find);

// The last `count` characters (not bytes) of the text; the whole text when it is shorter.
std::string Right(std::string_view text, std::int32_t count);

// The text without the leading and trailing characters that are among `blanks`.
std::string Trim(std::string_view text, std::string_view blanks);

// The leading decimal digits of the text as a number, saturating; 0 when there are none.
std::int64_t LeadingNumber(std::string_view text);

// Pieces between separators, indexed from 0; an empty text gives one empty piece.
std::vector<std::string> Split(std::string_view text, std::string_view separator);

}  // namespace fw
