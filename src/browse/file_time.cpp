#include "browse/file_time.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace lorvex {
namespace {

// statx where the kernel has it; its birth time is used only when the file
// system filled it in. Kernels without statx, and sandboxes that refuse the
// call (EPERM), fall back to fstatat.
int status_of(int dir_fd, const char* name, int flags, FileStatus* status) {
    if (name == nullptr || status == nullptr) return -1;
    struct statx sx {};
    if (statx(dir_fd, name, flags | AT_STATX_SYNC_AS_STAT,
              STATX_TYPE | STATX_SIZE | STATX_CTIME | STATX_BTIME, &sx) == 0) {
        status->size = static_cast<int64_t>(sx.stx_size);
        status->regular = S_ISREG(sx.stx_mode);
        status->created =
            (sx.stx_mask & STATX_BTIME) != 0 ? sx.stx_btime.tv_sec : sx.stx_ctime.tv_sec;
        return 0;
    }
    if (errno != ENOSYS && errno != EPERM) return -1;
    struct stat st {};
    if (fstatat(dir_fd, name, &st, flags) != 0) return -1;
    status->size = static_cast<int64_t>(st.st_size);
    status->regular = S_ISREG(st.st_mode);
    status->created = st.st_ctime;
    return 0;
}

}  // namespace

int file_status(const char* path, FileStatus* status) {
    return status_of(AT_FDCWD, path, 0, status);
}

int file_status_at(int dir_fd, const char* name, FileStatus* status) {
    return status_of(dir_fd, name, 0, status);
}

int file_status_fd(int fd, FileStatus* status) {
    if (fd < 0) return -1;
    return status_of(fd, "", AT_EMPTY_PATH, status);
}

int file_creation_time(const char* path, int64_t* seconds) {
    if (seconds == nullptr) return -1;
    FileStatus status;
    if (file_status(path, &status) != 0) return -1;
    *seconds = status.created;
    return 0;
}

}  // namespace lorvex
