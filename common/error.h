// The one error class of Ortholay and its kinds. Every failure a user can
// meet is one of these, carrying the exact text that is shown to the user.
#pragma once

#include <atomic>
#include <stdexcept>
#include <string>

namespace ortholay {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// "'%s' is not a valid integer value"
class InvalidIntegerError : public Error {
public:
    explicit InvalidIntegerError(const std::string& text);
};

// "'%s' is not a valid floating point value"
class InvalidFloatError : public Error {
public:
    explicit InvalidFloatError(const std::string& text);
};

// "List index out of bounds (%d)"
class ListIndexError : public Error {
public:
    explicit ListIndexError(int index);
};

// "Cannot open file %s"
class FileOpenError : public Error {
public:
    explicit FileOpenError(const std::string& path);
};

// "Cannot create file %s"
class FileCreateError : public Error {
public:
    explicit FileCreateError(const std::string& path);
};

// "Stream write error"
class StreamWriteError : public Error {
public:
    StreamWriteError();
};

// "JPEG error #%d", numbered as the classic libjpeg message table does.
class JpegError : public Error {
public:
    explicit JpegError(int code);
    int code() const { return code_; }

private:
    int code_;
};

// "Division by zero"
class DivisionByZeroError : public Error {
public:
    DivisionByZeroError();
};

// "Out of memory"
class OutOfMemoryError : public Error {
public:
    OutOfMemoryError();

protected:
    explicit OutOfMemoryError(const std::string& message) : Error(message) {}
};

// "Out of memory while expanding memory stream": the encoded bytes of a tile
// outgrew the memory they are collected in.
class StreamExpansionError : public OutOfMemoryError {
public:
    StreamExpansionError();
};

// "Out of system resources"
class OutOfResourcesError : public Error {
public:
    OutOfResourcesError();
};

// A run stopped on request. Never shown to the user.
class SilentAbort : public Error {
public:
    SilentAbort();
};

// Throws SilentAbort once `cancel` (if any) has been set from another thread.
inline void ThrowIfCancelled(const std::atomic<bool>* cancel) {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
        throw SilentAbort();
    }
}

// The message as the user is shown it: a period is appended when the text
// is not empty and its last byte sorts above '.' (a multi-byte character
// always does, its last byte being >= 0x80).
std::string MessageForDisplay(const std::string& message);

}  // namespace ortholay
