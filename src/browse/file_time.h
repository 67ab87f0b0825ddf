// File status as the whole program reads it: size, kind and creation time.
// The creation time is the birth time where the file system records one,
// else the inode change time (st_ctime); the folder list, the thumbnail key
// and item dates all take it from here so they always agree. Any thread.
#pragma once

#include <cstdint>

namespace lorvex {

struct FileStatus {
    int64_t size = 0;
    int64_t created = 0;   // seconds since 1 January 1970 UTC
    bool regular = false;  // a regular file (after following links)
};

// The status of path, following symbolic links. 0, or -1 when path is null
// or its status cannot be read (missing file, dangling link, no access).
[[nodiscard]] int file_status(const char* path, FileStatus* status);

// The same for name inside the open folder dir_fd.
[[nodiscard]] int file_status_at(int dir_fd, const char* name, FileStatus* status);

// The same for an open file descriptor.
[[nodiscard]] int file_status_fd(int fd, FileStatus* status);

// Only the creation time of path: 0 and *seconds set, or -1.
[[nodiscard]] int file_creation_time(const char* path, int64_t* seconds);

}  // namespace lorvex
