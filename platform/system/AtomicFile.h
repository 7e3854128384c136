#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

namespace platform {

// Replaces path with content so that a reader sees either the old or the new
// file, never a part: a temporary file beside it, fsync, rename, fsync of the
// folder. The new file gets mode. On failure the old file is untouched and
// *error (when given) says why.
bool WriteFileAtomically(const std::string& path, std::string_view content, mode_t mode, std::string* error = nullptr);

// Reads a whole file of at most maxSize bytes. False when it is missing,
// unreadable or larger; *missing tells the first case apart.
bool ReadWholeFile(const std::string& path, std::string& content, size_t maxSize, bool* missing = nullptr);

// Opens path for reading when it is a regular file, without blocking on a
// FIFO or device; -1 otherwise (errno ENOENT for a missing file, EINVAL for
// one that is not regular).
int OpenRegularFile(const std::string& path);

enum class ReadResult { Complete, TooLarge, Failed };

// Appends what is left to read of an open file to content and stops as soon
// as content holds more than maxSize bytes; retries interrupted reads.
ReadResult ReadToEnd(int fd, std::string& content, size_t maxSize);

} // namespace platform
