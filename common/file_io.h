// Whole-file reading and never-half-written file writing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ortholay {

// Reads a file whole. Throws FileOpenError(path) when it cannot be opened or
// read, or is no regular file (a folder, a pipe, a device).
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);

// Writes `size` bytes to `path` through a temporary file in the same folder
// that is renamed over `path` only when complete, so `path` is either its old
// self or the whole new content. Throws FileCreateError(path) when the file
// cannot be created or put in place, StreamWriteError when the write fails
// or falls short (the temporary file is then removed).
void WriteFileAtomically(const std::string& path, const void* data, std::size_t size);

// The two halves of WriteFileAtomically, for writers that stage a file first
// and put it in place later. StageFile returns the temporary file's path.
std::string StageFile(const std::string& path, const void* data, std::size_t size);
void CommitStagedFile(const std::string& stagedPath, const std::string& path);
void DiscardStagedFile(const std::string& stagedPath);

}  // namespace ortholay
