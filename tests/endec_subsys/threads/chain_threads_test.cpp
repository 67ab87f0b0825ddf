// One chain serving several threads at once, each with its own buffers, as
// the store's reader threads use it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "../endec_test_util.h"
#include "endec_subsys/endec.h"

namespace lorvex {
namespace {

using namespace endec_test;

TEST(ChainThreadsTest, SharedChainGivesTheSameBytesOnEveryThread) {
    ChainPtr chain =
        make_chain(bytes_of("shared"), {ENDEC_RIJNDAEL, ENDEC_CAMELLIA, ENDEC_TWOFISH});
    ASSERT_NE(chain, nullptr);
    constexpr int kThreads = 6;
    constexpr int kRounds = 40;
    std::vector<Bytes> plains;
    std::vector<Bytes> expected;
    for (int i = 0; i < kThreads; ++i) {
        plains.push_back(random_bytes(32 * 1024 + 64 * i, 100 + i));
        expected.push_back(encrypt(chain.get(), plains.back()));
    }
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            Bytes out(plains[t].size());
            Bytes back(plains[t].size());
            for (int round = 0; round < kRounds; ++round) {
                if (endec_chain_encrypt(chain.get(), plains[t].data(), out.size(), out.data()) !=
                        0 ||
                    out != expected[t] ||
                    endec_chain_decrypt(chain.get(), out.data(), out.size(), back.data()) != 0 ||
                    back != plains[t]) {
                    ++mismatches;
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace lorvex
