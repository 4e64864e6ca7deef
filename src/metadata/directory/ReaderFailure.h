#pragma once
// The metadata reader's own failures: the file's bytes are not what their structure says,
// or a crafted structure asks for more than a walk allows. They are thrown inside the
// reader and caught where its rules end a walk or a reading; none leaves the reader.
// Running out of memory, or a fault of the program, is no such failure and is never
// caught as one.
#include <cstdint>
#include <exception>

namespace morvik {

class ReaderFailure : public std::exception {
public:
    const char* what() const noexcept override { return "the metadata is malformed"; }
};

// A read of bytes outside the data it was asked of, at a 1-based position.
class ReadOutside : public ReaderFailure {
public:
    explicit ReadOutside(int64_t position) : Position(position) {}
    const char* what() const noexcept override { return "a read lies outside the data"; }
    int64_t Position;
};

// A walk that has gone past its limits on nesting, directories or entries.
class WalkLimit : public ReaderFailure {
public:
    const char* what() const noexcept override { return "the directories exceed the walk's limits"; }
};

// The bytes a block's walk has copied and kept have passed its budget: one of its limits.
class ValueBudgetSpent : public WalkLimit {
public:
    const char* what() const noexcept override { return "the values exceed the walk's budget"; }
};

// A value text that a renderer cannot convert to a number.
class ValueNotConverted : public ReaderFailure {
public:
    const char* what() const noexcept override { return "a value is not a valid integer"; }
};

}  // namespace morvik
