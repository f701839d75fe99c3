#pragma once

#include <exception>
#include <string>
#include <utility>

// A failure of the tool itself; the driver prints its message after
// "wendle: " and ends the run.
class my_exception : public std::exception {
public:
    explicit my_exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    // The whole text, also when a path in it holds a NUL byte.
    const std::string& message() const { return message_; }

private:
    std::string message_;
};
