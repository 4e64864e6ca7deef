#include "stamping/MadeRecord.h"

#include "platform/Exceptions.h"
#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace morvik {

namespace {

// Names may hold any byte but "/" and NUL: tabs, line ends and "%" are written as %XX,
// so a line is always four fields.
std::string Escaped(const std::string& name)
{
    std::string out;
    for (const char c : name) {
        if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> Unescaped(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const std::string hex = text.substr(i + 1, 2);
        if (hex.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
            return std::nullopt;
        out += static_cast<char>(std::stoi(hex, nullptr, 16));
        i += 2;
    }
    return out;
}

std::string JoinPath(const std::string& folder, const std::string& name) { return folder + "/" + name; }

}  // namespace

TSourceIdentity SourceIdentity(const FileFacts& facts) { return {facts.Name, facts.Size, facts.ModifiedNs}; }

TMadeRecord::TMadeRecord(std::string outputFolder) : folder_(std::move(outputFolder))
{
    std::string text;
    try {
        text = ReadWholeFile(JoinPath(folder_, kMadeRecordName), size_t(64) << 20, true);
    } catch (const EInOutError&) {
        // No record yet (a first run), or one we cannot read: nothing is known to be made.
        return;
    }
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        std::string field;
        while (std::getline(parts, field, '\t'))
            fields.push_back(field);
        if (fields.size() != 4)
            continue;  // a line cut short by a kill, or not ours
        const auto source = Unescaped(fields[0]), output = Unescaped(fields[3]);
        char* end = nullptr;
        const long long size = std::strtoll(fields[1].c_str(), &end, 10);
        if (!source || !output || *end != '\0')
            continue;
        const long long modified = std::strtoll(fields[2].c_str(), &end, 10);
        if (*end != '\0')
            continue;
        made_[TSourceIdentity{*source, size, modified}] = *output;  // the latest line wins
    }
}

std::optional<std::string> TMadeRecord::OutputOf(const TSourceIdentity& source) const
{
    const auto it = made_.find(source);
    if (it == made_.end() || !FileExists(JoinPath(folder_, it->second)))
        return std::nullopt;
    return JoinPath(folder_, it->second);
}

void TMadeRecord::Add(const TSourceIdentity& source, const std::string& outputName)
{
    made_[source] = outputName;
    const std::string line = Escaped(source.Name) + "\t" + std::to_string(source.Size) + "\t" +
                             std::to_string(source.ModifiedNs) + "\t" + Escaped(outputName) + "\n";
    const FileDescriptor file(
        ::open(JoinPath(folder_, kMadeRecordName).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
    if (file)
        (void)!::write(file.Get(), line.data(), line.size());  // unrecorded is only made again
}

}  // namespace morvik
