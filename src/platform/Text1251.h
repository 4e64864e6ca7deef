#pragma once
// Metadata texts are Windows-1251 byte strings; the screen, the terminal, JSON and file
// names on this system are UTF-8. These convert at the point of showing.
#include <string>
#include <string_view>

namespace morvik {

std::string Cp1251ToUtf8(std::string_view bytes);
// The same conversion appended to out.
void AppendCp1251ToUtf8(std::string& out, std::string_view bytes);
// Characters with no Windows-1251 form become '?'.
std::string Utf8ToCp1251(std::string_view text);

}  // namespace morvik
