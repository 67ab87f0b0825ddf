// Folder listing: scanning, building and sorting a folder of 5000 pictures
// (the most a folder may hold), beside the bare enumeration of the same
// folder as its floor. The folder is made once per run.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "browse/folder_list.h"
#include "browse/folder_scan.h"
#include "hub/message_hub.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

// 5000 files with mixed case, three types and sizes 0 to 96 bytes.
const testing::TempDir& picture_folder() {
    static const testing::TempDir* dir = [] {
        auto* d = new testing::TempDir();
        const char* kPatterns[] = {"IMG_%04d.JPG", "holiday %04d.png", "scan%04d.gif"};
        char name[64];
        std::string bytes(96, 'x');
        for (int i = 0; i < kMaxFolderPictures; ++i) {
            std::snprintf(name, sizeof name, kPatterns[i % 3], i);
            const int fd = open(d->file(name).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
            if (fd < 0) continue;
            const size_t size = static_cast<size_t>((i * 37) % 97);
            if (write(fd, bytes.data(), size) != static_cast<ssize_t>(size)) std::perror("write");
            close(fd);
        }
        return d;
    }();
    return *dir;
}

// Scan, build and sort by the key in range(0), as a folder selection does.
void BM_FolderList_ScanBuildSort(benchmark::State& state) {
    const std::string& path = picture_folder().path();
    MessageHub hub;
    FolderList list(&hub);
    list.SetKey(static_cast<int32_t>(state.range(0)));
    list.SetForward();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ScanFolder(path.c_str(), &hub));
        if (list.SortedCount() != kMaxFolderPictures) state.SkipWithError("folder not listed");
    }
    state.SetItemsProcessed(state.iterations() * kMaxFolderPictures);
}
BENCHMARK(BM_FolderList_ScanBuildSort)
    ->ArgName("key")
    ->Arg(SORT_NAME)
    ->Arg(SORT_SIZE)
    ->Arg(SORT_TYPE)
    ->Arg(SORT_DATE)
    ->Unit(benchmark::kMillisecond);

// Re-sort only (a sort command on a listed folder), alternating direction so
// every run really sorts.
void BM_FolderList_Resort(benchmark::State& state) {
    MessageHub hub;
    FolderList list(&hub);
    (void)ScanFolder(picture_folder().path().c_str(), &hub);
    list.SetKey(static_cast<int32_t>(state.range(0)));
    bool forward = false;
    for (auto _ : state) {
        forward = !forward;
        if (forward) {
            list.SetForward();
        } else {
            list.SetReverse();
        }
        benchmark::DoNotOptimize(list.SortedCount());
    }
    state.SetItemsProcessed(state.iterations() * kMaxFolderPictures);
}
BENCHMARK(BM_FolderList_Resort)
    ->ArgName("key")
    ->Arg(SORT_NAME)
    ->Arg(SORT_SIZE)
    ->Arg(SORT_TYPE)
    ->Arg(SORT_DATE)
    ->Unit(benchmark::kMillisecond);

// Floor: one readdir pass with one status call per entry. The listing needs
// at least this (the scan's own pass) plus one status call per file in the
// build.
void BM_FolderList_Floor_ReaddirStat(benchmark::State& state) {
    const std::string& path = picture_folder().path();
    for (auto _ : state) {
        DIR* dir = opendir(path.c_str());
        if (dir == nullptr) {
            state.SkipWithError("cannot open folder");
            break;
        }
        int64_t total = 0;
        while (const dirent* e = readdir(dir)) {
            if (e->d_name[0] == '.') continue;
            struct stat st;
            if (fstatat(dirfd(dir), e->d_name, &st, 0) == 0) total += st.st_size;
        }
        closedir(dir);
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * kMaxFolderPictures);
}
BENCHMARK(BM_FolderList_Floor_ReaddirStat)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lorvex
