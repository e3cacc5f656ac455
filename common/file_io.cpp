#include "common/file_io.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/error.h"

namespace ortholay {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

bool WriteAll(int fd, const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string TemporaryNameFor(const std::string& path) {
    static std::atomic<unsigned long> counter{0};
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + "." + std::to_string(::getpid()) + "." +
           std::to_string(counter.fetch_add(1)) + ".part";
}

}  // namespace

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    // Only a regular file can be read whole: opening a pipe would wait for a
    // writer and a device such as /dev/zero never ends, so anything else is
    // refused as a file that cannot be opened. O_NONBLOCK keeps the open
    // itself from waiting on a pipe; it changes nothing for regular files.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        throw FileOpenError(path);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        throw FileOpenError(path);
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags == -1 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) == -1) {
        throw FileOpenError(path);
    }
    // A regular file is read straight into a buffer of its size; anything
    // else (a pipe, a file growing meanwhile) in chunks until its end.
    std::vector<std::uint8_t> bytes;
    std::size_t used = 0;
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
    }
    for (;;) {
        if (used == bytes.size()) {
            // Full: probe for more before growing, so that a file of the
            // expected size is never copied into a larger buffer.
            std::uint8_t probe[1 << 12];
            const ssize_t more = ::read(fd.get(), probe, sizeof probe);
            if (more < 0 && errno == EINTR) {
                continue;
            }
            if (more < 0) {
                throw FileOpenError(path);
            }
            if (more == 0) {
                break;
            }
            bytes.insert(bytes.end(), probe, probe + more);
            used = bytes.size();
            bytes.resize(used + (1 << 16));
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw FileOpenError(path);
        }
        if (n == 0) {
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    return bytes;
}

std::string StageFile(const std::string& path, const void* data, std::size_t size) {
    const std::string staged = TemporaryNameFor(path);
    FileDescriptor fd(::open(staged.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0) {
        throw FileCreateError(path);
    }
    const bool written = WriteAll(fd.get(), data, size);
    const bool closed = ::close(fd.release()) == 0;
    if (!written || !closed) {
        ::unlink(staged.c_str());
        throw StreamWriteError();
    }
    return staged;
}

void CommitStagedFile(const std::string& stagedPath, const std::string& path) {
    if (std::rename(stagedPath.c_str(), path.c_str()) != 0) {
        ::unlink(stagedPath.c_str());
        throw FileCreateError(path);
    }
}

void DiscardStagedFile(const std::string& stagedPath) {
    ::unlink(stagedPath.c_str());
}

void WriteFileAtomically(const std::string& path, const void* data, std::size_t size) {
    CommitStagedFile(StageFile(path, data, size), path);
}

}  // namespace ortholay
