// Picture preloader: how long a move takes until its picture is current,
// when the picture is already cached as a neighbour and when it must be
// decoded first (a 3000 x 2000 JPEG, about a phone photo).
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <cstring>
#include <string>
#include <thread>

#include "shell/picture_cache.h"
#include "shell/picture_decoder.h"
#include "shell/preloader.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

PictureRef bench_ref(const std::string& path) {
    PictureRef ref;
    ref.valid = 1;
    ref.kind = kRefFile;
    std::memcpy(ref.path, path.data(), path.size());
    ref.path_length = static_cast<int32_t>(path.size());
    return ref;
}

std::string make_photo(const testing::TempDir& dir, const std::string& name) {
    QImage image(3000, 2000, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int y = 0; y < 2000; y += 50) {
        painter.fillRect(0, y, 3000, 50, QColor::fromHsv((y / 50) * 9 % 360, 180, 220));
    }
    painter.end();
    const std::string path = dir.file(name);
    image.save(QString::fromStdString(path), "JPG", 90);
    return path;
}

// Waits (spinning) until ref is the cache's current picture.
void wait_current(PictureCache* cache, const PictureRef& ref) {
    while (true) {
        const int slot = cache->find(ref);
        if (slot >= 0 && cache->snapshot(slot).state == kSlotCurrent) return;
        std::this_thread::yield();
    }
}

void BM_PreloaderMoveToCachedNeighbour(benchmark::State& state) {
    testing::TempDir dir;
    const PictureRef a = bench_ref(make_photo(dir, "a.jpg"));
    const PictureRef b = bench_ref(make_photo(dir, "b.jpg"));
    PictureCache cache;
    RequestMailbox mailbox;
    PreloaderThread preloader(&cache, &mailbox, MakePictureDecoder(nullptr));
    if (preloader.start() != 0) {
        state.SkipWithError("preloader did not start");
        return;
    }
    PreloadRequest to_a;
    to_a.live = 1;
    to_a.current = a;
    to_a.neighbour_count = 1;
    to_a.neighbours[0] = b;
    PreloadRequest to_b = to_a;
    to_b.current = b;
    to_b.neighbours[0] = a;
    (void)preloader.post(&to_a);
    wait_current(&cache, a);
    while (cache.find(b) < 0) std::this_thread::yield();
    bool forward = true;
    for (auto _ : state) {
        (void)preloader.post(forward ? &to_b : &to_a);
        wait_current(&cache, forward ? b : a);
        forward = !forward;
    }
}
BENCHMARK(BM_PreloaderMoveToCachedNeighbour)->Unit(benchmark::kMicrosecond);

void BM_PreloaderMoveWithDecode(benchmark::State& state) {
    testing::TempDir dir;
    const PictureRef a = bench_ref(make_photo(dir, "a.jpg"));
    const PictureRef b = bench_ref(make_photo(dir, "b.jpg"));
    PictureCache cache;
    RequestMailbox mailbox;
    PreloaderThread preloader(&cache, &mailbox, MakePictureDecoder(nullptr));
    if (preloader.start() != 0) {
        state.SkipWithError("preloader did not start");
        return;
    }
    bool forward = true;
    for (auto _ : state) {
        state.PauseTiming();
        // Empty the cache of files too: fill it with unrelated entries.
        for (int i = 0; i < PictureCache::kSlots; ++i) {
            (void)cache.store(bench_ref("/none/" + std::to_string(i)),
                              QImage(1, 1, QImage::Format_RGB32), kSlotNeighbour);
        }
        PreloadRequest request;
        request.live = 1;
        request.current = forward ? b : a;
        state.ResumeTiming();
        (void)preloader.post(&request);
        wait_current(&cache, request.current);
        forward = !forward;
    }
}
BENCHMARK(BM_PreloaderMoveWithDecode)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lorvex
