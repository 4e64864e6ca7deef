#pragma once
// The runtime's failures: each carries the one-line message a message box shows.
#include <exception>
#include <string>

namespace morvik {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

    // Says which file the failure met, unless the message names it already: the message
    // goes on as ` (file "<path>")`. The failure keeps its type, so it can be rethrown.
    void NameFile(const std::string& path)
    {
        if (message_.find('"' + path + '"') == std::string::npos)
            message_ += " (file \"" + path + "\")";
    }

private:
    std::string message_;
};

// A text that does not convert to a number or a date ("'%s' is not a valid date and time").
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A file that cannot be opened, created, read or written.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace morvik
