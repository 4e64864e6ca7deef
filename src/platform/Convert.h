#pragma once
// Strict text-to-number conversion: optional leading blanks, an optional sign, decimal
// digits and nothing after them (" 101" is 101; "1, 0" and "12abc" fail).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvik {

std::optional<int32_t> TryStrToInt(std::string_view text);
// Throws EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(std::string_view text);

// ASCII-only case changes (the reader's names and extensions are ASCII).
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
// Trims blanks and control characters (codes up to 32) from both ends.
std::string_view Trim(std::string_view text);

// The text with its control characters (bytes below 0x20, and 0x7F) written as \xNN, so
// that a file name holding them cannot move the cursor or clear a terminal when shown.
std::string EscapeControlCharacters(std::string_view text);

}  // namespace morvik
