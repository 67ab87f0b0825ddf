// Folder thumbnails against full-size decoding, for 20 generated 4000 x 3000
// pictures per format: a cache miss (decode, reduce, encode, insert), a
// cache hit (lookup, decode the small blob, refit) and, in the same run,
// the full decode alone with the same codec. Each pass over the 20 files of
// a miss scenario starts with a fresh, empty cache file.
#include <benchmark/benchmark.h>

#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/codec.h"
#include "engine/thumbnail.h"
#include "store/store.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

constexpr int kFiles = 20;
constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// Smooth gradients with a little texture, so that both codecs see roughly
// the data of a photograph rather than flat areas.
QImage scene(int seed) {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    uint32_t state = 0x9e3779b9u * static_cast<uint32_t>(seed + 1);
    for (int y = 0; y < kHeight; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            state = state * 1664525u + 1013904223u;
            const int jitter = static_cast<int>(state >> 29);
            line[x] = qRgb((x * 255 / kWidth + seed * 11 + jitter) & 255,
                           (y * 255 / kHeight + jitter) & 255, ((x ^ y) >> 4 & 255) / 2 + jitter);
        }
    }
    return image;
}

struct PictureSet {
    lorvex::testing::TempDir dir;
    std::vector<std::string> names;
    int cache_files = 0;

    explicit PictureSet(int32_t format) {
        const char* extension = format == kFormatJpeg ? "jpg" : "png";
        for (int i = 0; i < kFiles; ++i) {
            CodecImage picture;
            picture.SetImage(scene(i));
            uint8_t* buffer = nullptr;
            int32_t size = 0;
            if (!picture.Encode(buffer, size, format)) continue;
            const std::string name = "p" + std::to_string(i) + "." + extension;
            FILE* file = std::fopen(dir.file(name).c_str(), "wb");
            if (file) {
                std::fwrite(buffer, 1, static_cast<size_t>(size), file);
                std::fclose(file);
                names.push_back(name);
            }
            CodecImage::FreeMemory(buffer);
        }
    }

    // Replaces the open cache with a new, empty file.
    bool fresh_cache() {
        (void)thumbcache_close();
        const std::string path = dir.file("cache" + std::to_string(cache_files++) + ".pdb");
        return thumbcache_open(path.c_str()) == 0;
    }
};

PictureSet& pictures(int32_t format) {
    static PictureSet jpeg(kFormatJpeg);
    static PictureSet png(kFormatPng);
    return format == kFormatJpeg ? jpeg : png;
}

void BM_FullDecode(benchmark::State& state, int32_t format) {
    PictureSet& set = pictures(format);
    size_t i = 0;
    for (auto _ : state) {
        CodecImage picture;
        const std::string path = set.dir.file(set.names[i++ % set.names.size()]);
        if (!picture.Load(path.c_str(), format)) state.SkipWithError(picture.GetLastError());
        benchmark::DoNotOptimize(picture.GetImage().constBits());
    }
}

void BM_FolderThumbMiss(benchmark::State& state, int32_t format) {
    PictureSet& set = pictures(format);
    size_t i = 0;
    for (auto _ : state) {
        if (i % set.names.size() == 0) {
            state.PauseTiming();
            if (!set.fresh_cache()) state.SkipWithError("cannot open a cache");
            state.ResumeTiming();
        }
        CodecImage thumbnail;
        ThumbFit fit;
        const int result =
            thumb_folder_file(thumbcache_handle(), set.dir.path().c_str(),
                              set.names[i++ % set.names.size()].c_str(), &thumbnail, &fit);
        if (result != kThumbReady) state.SkipWithError("no thumbnail");
        benchmark::DoNotOptimize(thumbnail.GetImage().constBits());
    }
}

void BM_FolderThumbHit(benchmark::State& state, int32_t format) {
    PictureSet& set = pictures(format);
    if (!set.fresh_cache()) state.SkipWithError("cannot open a cache");
    for (const std::string& name : set.names) {
        CodecImage thumbnail;
        ThumbFit fit;
        if (thumb_folder_file(thumbcache_handle(), set.dir.path().c_str(), name.c_str(), &thumbnail,
                              &fit) != kThumbReady) {
            state.SkipWithError("no thumbnail");
        }
    }
    size_t i = 0;
    for (auto _ : state) {
        CodecImage thumbnail;
        ThumbFit fit;
        const int result =
            thumb_folder_file(thumbcache_handle(), set.dir.path().c_str(),
                              set.names[i++ % set.names.size()].c_str(), &thumbnail, &fit);
        if (result != kThumbReady) state.SkipWithError("no thumbnail");
        benchmark::DoNotOptimize(thumbnail.GetImage().constBits());
    }
}

BENCHMARK_CAPTURE(BM_FullDecode, jpeg_4000x3000, kFormatJpeg)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2 * kFiles);
BENCHMARK_CAPTURE(BM_FolderThumbMiss, jpeg_4000x3000, kFormatJpeg)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2 * kFiles);
BENCHMARK_CAPTURE(BM_FolderThumbHit, jpeg_4000x3000, kFormatJpeg)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10 * kFiles);
BENCHMARK_CAPTURE(BM_FullDecode, png_4000x3000, kFormatPng)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2 * kFiles);
BENCHMARK_CAPTURE(BM_FolderThumbMiss, png_4000x3000, kFormatPng)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2 * kFiles);
BENCHMARK_CAPTURE(BM_FolderThumbHit, png_4000x3000, kFormatPng)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10 * kFiles);

}  // namespace
}  // namespace lorvex
