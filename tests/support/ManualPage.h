#pragma once
// What a program's --help offers and what its manual page says, for the tests that keep the
// pages in step with the options.
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace morvik::test {

// The option names of a help text: on each line that starts (after blanks) with a dash, the
// leading names ("-j,--jobs INT", "-h, --help  Show...") up to the first word that is not one.
inline std::vector<std::string> HelpOptions(const std::string& help)
{
    std::vector<std::string> names;
    std::istringstream lines(help);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string word;
        while (words >> word && word[0] == '-') {
            std::istringstream parts(word);
            std::string part;
            while (std::getline(parts, part, ','))
                if (part.size() > 1 && part[0] == '-')
                    names.push_back(part);
            if (word.back() != ',')
                break;
        }
    }
    return names;
}

// The words under a heading of a help text ("Subcommands:"), one per line, up to a blank line.
inline std::vector<std::string> HelpSection(const std::string& help, const std::string& heading)
{
    std::vector<std::string> words;
    std::istringstream lines(help);
    std::string line;
    bool in = false;
    while (std::getline(lines, line)) {
        if (line == heading) {
            in = true;
        } else if (in) {
            std::istringstream first(line);
            std::string word;
            if (!(first >> word))
                break;
            words.push_back(word);
        }
    }
    return words;
}

// A manual page's source as it reads: "\-" is a dash, font changes and other escapes drop out.
inline std::string ManualText(std::string page)
{
    page = std::regex_replace(page, std::regex(R"(\\-)"), "-");
    page = std::regex_replace(page, std::regex(R"(\\f[BIRP])"), "");
    return page;
}

// Whether `option` stands in the text as a word of its own ("-x" not inside "--x" or "-xy").
inline bool Mentions(const std::string& text, const std::string& option)
{
    auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-'; };
    for (size_t at = text.find(option); at != std::string::npos; at = text.find(option, at + 1)) {
        const size_t end = at + option.size();
        if ((at == 0 || !word(text[at - 1])) && (end == text.size() || !word(text[end])))
            return true;
    }
    return false;
}

}  // namespace morvik::test
