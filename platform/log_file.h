#pragma once
// An append-only text file for logs (the stand-in for CreateFileA with
// OPEN_ALWAYS, WriteFile at the end and FlushFileBuffers). Not open is a
// descriptor of -1: 0 is a valid descriptor on Linux.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vrt::platform {

class LogFile {
public:
    LogFile() = default;
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Opens `path` for appending, creating it when missing and keeping its
    // content. False (and not open) when it cannot be opened, e.g. a missing or
    // read-only folder or a directory, or a symbolic link that belongs neither
    // to the user nor to the folder's owner. A file already open is closed first.
    bool open(const std::string& path);
    bool isOpen() const { return fd_ >= 0; }

    // Appends all `size` bytes at the end of the file. False when not open or
    // when not all of them could be written. Never blocks on a pipe or device.
    bool write(const void* data, size_t size);
    // Pushes written data to the disk. False when not open or on failure.
    bool flush();
    // Closes the file; harmless when not open.
    void close();

private:
    int fd_ = -1;
};

// Test hook: the number of LogFile::flush calls on open files in this process.
uint64_t logFileFlushCount();

}  // namespace vrt::platform
