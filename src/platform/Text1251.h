#pragma once
// Metadata texts are Windows-1251 byte strings; the screen, the terminal, JSON and file
// names on this system are UTF-8. These convert at the point of showing.
#include <string>
#include <string_view>

namespace morvik {

std::string Cp1251ToUtf8(std::string_view bytes);
// The same conversion appended to out.
void AppendCp1251ToUtf8(std::string& out, std::string_view bytes);
// Appends each non-empty line of a CR LF separated Windows-1251 text as UTF-8, with the
// indent before it and a line feed after it (a lone CR stays in its line); returns how
// many lines were appended.
size_t AppendCp1251LinesToUtf8(std::string& out, std::string_view text, std::string_view indent);
// Characters with no Windows-1251 form become '?'.
std::string Utf8ToCp1251(std::string_view text);

}  // namespace morvik
