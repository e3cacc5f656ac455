#include "common/error.h"

namespace {

// The text between two quotes. Built by appending: GCC 12 warns falsely
// (-Wrestrict) about the inlined copies of "'" + text + "'".
std::string Quoted(const std::string& text, const char* rest) {
    std::string message;
    message.reserve(text.size() + 40);
    message.append("'").append(text).append("'").append(rest);
    return message;
}

}  // namespace

namespace ortholay {

InvalidIntegerError::InvalidIntegerError(const std::string& text)
    : Error(Quoted(text, " is not a valid integer value")) {}

InvalidFloatError::InvalidFloatError(const std::string& text)
    : Error(Quoted(text, " is not a valid floating point value")) {}

ListIndexError::ListIndexError(int index)
    : Error("List index out of bounds (" + std::to_string(index) + ")") {}

FileOpenError::FileOpenError(const std::string& path) : Error("Cannot open file " + path) {}

FileCreateError::FileCreateError(const std::string& path) : Error("Cannot create file " + path) {}

StreamWriteError::StreamWriteError() : Error("Stream write error") {}

JpegError::JpegError(int code) : Error("JPEG error #" + std::to_string(code)), code_(code) {}

DivisionByZeroError::DivisionByZeroError() : Error("Division by zero") {}

OutOfMemoryError::OutOfMemoryError() : Error("Out of memory") {}

StreamExpansionError::StreamExpansionError()
    : OutOfMemoryError("Out of memory while expanding memory stream") {}

OutOfResourcesError::OutOfResourcesError() : Error("Out of system resources") {}

SilentAbort::SilentAbort() : Error("Operation aborted") {}

std::string MessageForDisplay(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
        return message + ".";
    }
    return message;
}

}  // namespace ortholay
