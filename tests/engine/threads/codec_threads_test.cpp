// The codec from several threads at once, as the preloader, the thumbnail
// loader and the user-interface thread use it: the one-time library set-up
// and every format route must be safe, and give the same pictures.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <thread>
#include <vector>

#include "engine/codec.h"
#include "engine/picture_fixtures.h"
#include "engine/thumbnail.h"

namespace lorvex {
namespace {

TEST(CodecThreads, ConcurrentDecodeResampleAndEncodeAgree) {
    const std::array<int32_t, 5> formats = {kFormatJpeg, kFormatPng, kFormatTga, kFormatGif,
                                            kFormatPcx};
    std::vector<std::string> encoded;
    for (int32_t format : formats) {
        encoded.push_back(testing::encode_picture(testing::two_halves(500, 420), format));
        ASSERT_FALSE(encoded.back().empty()) << format;
    }
    constexpr int kThreads = 3;
    std::vector<std::vector<QImage>> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 2; ++round) {
                for (size_t f = 0; f < formats.size(); ++f) {
                    CodecImage thumbnail;
                    ThumbFit fit;
                    const std::string& bytes = encoded[f];
                    if (!thumb_make_from_bytes(reinterpret_cast<const uint8_t*>(bytes.data()),
                                               static_cast<uint32_t>(bytes.size()), formats[f],
                                               &thumbnail, &fit)) {
                        results[t].push_back(QImage());
                        continue;
                    }
                    uint8_t* buffer = nullptr;
                    int32_t size = 0;
                    if (thumbnail.Encode(buffer, size, formats[f])) CodecImage::FreeMemory(buffer);
                    if (round == 0) results[t].push_back(thumbnail.GetImage());
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(results[t].size(), formats.size());
        for (size_t f = 0; f < formats.size(); ++f) {
            EXPECT_FALSE(results[t][f].isNull()) << formats[f];
            EXPECT_EQ(results[t][f], results[0][f]) << "thread " << t << " format " << formats[f];
        }
    }
}

}  // namespace
}  // namespace lorvex
