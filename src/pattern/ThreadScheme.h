#pragma once
// The thread schemes a pattern is stitched in: DMC, Anchor and Madeira, each a list of
// threads with the maker's number, name and colour. The lists are the XML files Debian's
// kxstitch-common installs; a small parser of ours reads them and refuses a missing or
// malformed file with a message that names it.
#include "platform/Exceptions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvik {

// A scheme file that cannot be read or does not hold a valid list of threads.
class EThreadScheme : public Exception {
public:
    using Exception::Exception;
};

enum class ThreadMaker { Dmc, Anchor, Madeira };

// "dmc", "anchor", "madeira": the names the command line and the file names use.
std::string_view ThreadMakerKey(ThreadMaker maker);
std::optional<ThreadMaker> ThreadMakerFromKey(std::string_view key);

struct Thread {
    std::string Number;  // as the maker prints it: "310", "B5200", "Blanc"
    std::string Name;    // "Black"
    uint8_t Red = 0, Green = 0, Blue = 0;
};

struct ThreadScheme {
    std::string Title;  // "DMC"
    std::vector<Thread> Threads;
};

// Where kxstitch-common puts its schemes.
constexpr std::string_view kDefaultSchemeFolder = "/usr/share/kxstitch/schemes";

// Reads the scheme of a maker from folder/<key>.xml. EThreadScheme when the file is
// missing or malformed.
ThreadScheme LoadThreadScheme(ThreadMaker maker, const std::string& folder = std::string(kDefaultSchemeFolder));

// Parses the text of a scheme file; `source` names it in the messages.
ThreadScheme ParseThreadScheme(std::string_view xml, const std::string& source);

}  // namespace morvik
