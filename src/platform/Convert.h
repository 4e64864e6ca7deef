#pragma once
// Strict text-to-number conversion: optional leading blanks, an optional sign, decimal
// digits and nothing after them (" 101" is 101; "1, 0" and "12abc" fail).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvik {

std::optional<int32_t> TryStrToInt(std::string_view text);

// ASCII-only case changes and comparisons (the reader's names, extensions and the date
// mask's letters are ASCII); every other byte, UTF-8 included, stays as it is.
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
// Equal but for the case of ASCII letters.
bool AsciiEqualNoCase(std::string_view a, std::string_view b);
bool AsciiStartsWithNoCase(std::string_view text, std::string_view prefix);
// For extensions: AsciiEndsWithNoCase("IMG.JPG", ".jpg").
bool AsciiEndsWithNoCase(std::string_view text, std::string_view suffix);
// Calls line(text) for each non-empty line of a CR LF separated text, in order: the
// metadata's listings and reports break their lines so. A lone CR stays in its line.
template <typename LineFn>
void ForEachCrLfLine(std::string_view text, LineFn&& line)
{
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\r', start);
        while (end != std::string_view::npos && (end + 1 == text.size() || text[end + 1] != '\n'))
            end = text.find('\r', end + 1);  // a lone CR belongs to the line
        if (end == std::string_view::npos)
            end = text.size();
        if (end > start)
            line(text.substr(start, end - start));
        start = end + 2;
    }
}

// Trims blanks and control characters (codes up to 32) from both ends.
std::string_view Trim(std::string_view text);

// The text with its control characters (bytes below 0x20, and 0x7F) written as \xNN, so
// that a file name holding them cannot move the cursor or clear a terminal when shown.
std::string EscapeControlCharacters(std::string_view text);

}  // namespace morvik
