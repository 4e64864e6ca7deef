#pragma once
// The runtime's failures: each carries the one-line message a message box shows.
#include <stdexcept>
#include <string>

namespace morvik {

class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
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
