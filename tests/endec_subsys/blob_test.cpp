// Enciphered blob layout (64-byte padding, 64 MiB limit) and the password
// check value.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "endec_subsys/endec.h"
#include "endec_test_util.h"

namespace lorvex {
namespace {

using namespace endec_test;

TEST(BlobTest, StoredLengthRoundsUpToSixtyFour) {
    const struct {
        size_t content;
        int64_t stored;
    } cases[] = {
        {0, 0},
        {1, 64},
        {63, 64},
        {64, 64},
        {65, 128},
        {128, 128},
        {kEndecMaxBlobContent - 1, kEndecMaxBlobContent},
        {kEndecMaxBlobContent, kEndecMaxBlobContent},
        {kEndecMaxBlobContent + 1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        EXPECT_EQ(endec_blob_stored_length(c.content), c.stored);
    }
}

TEST(BlobTest, SixtyFiveBytesStoreAsOneHundredTwentyEight) {
    ChainPtr chain = make_chain(bytes_of("blob password"), {ENDEC_RIJNDAEL, ENDEC_TWOFISH});
    ASSERT_NE(chain, nullptr);
    const Bytes content = random_bytes(65, 21);
    Bytes stored(128, 0xaa);
    ASSERT_EQ(
        endec_blob_seal(chain.get(), content.data(), content.size(), stored.data(), stored.size()),
        128);
    EXPECT_NE(std::memcmp(stored.data(), content.data(), 65), 0) << "enciphered";
    Bytes back(128);
    ASSERT_EQ(endec_blob_unseal(chain.get(), stored.data(), stored.size(), back.data()), 0);
    EXPECT_EQ(Bytes(back.begin(), back.begin() + 65), content);
    // The padded whole is what the chain enciphered.
    EXPECT_EQ(encrypt(chain.get(), back), stored);
}

TEST(BlobTest, WithoutChainTheBytesStayPlain) {
    const Bytes content = random_bytes(100, 22);
    Bytes stored(128, 0xaa);
    ASSERT_EQ(
        endec_blob_seal(nullptr, content.data(), content.size(), stored.data(), stored.size()),
        128);
    EXPECT_EQ(Bytes(stored.begin(), stored.begin() + 100), content);
    Bytes back(128);
    ASSERT_EQ(endec_blob_unseal(nullptr, stored.data(), stored.size(), back.data()), 0);
    EXPECT_EQ(back, stored);
}

TEST(BlobTest, SealsInPlace) {
    ChainPtr chain = make_chain(bytes_of("in place"), {ENDEC_CAMELLIA});
    ASSERT_NE(chain, nullptr);
    const Bytes content = random_bytes(130, 23);
    Bytes apart(192);
    ASSERT_EQ(endec_blob_seal(chain.get(), content.data(), 130, apart.data(), apart.size()), 192);
    Bytes buffer = content;
    buffer.resize(192, 0x77);
    ASSERT_EQ(endec_blob_seal(chain.get(), buffer.data(), 130, buffer.data(), buffer.size()), 192);
    ASSERT_EQ(endec_blob_unseal(chain.get(), buffer.data(), 192, buffer.data()), 0);
    Bytes back(192);
    ASSERT_EQ(endec_blob_unseal(chain.get(), apart.data(), 192, back.data()), 0);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 130), content);
    EXPECT_EQ(Bytes(back.begin(), back.begin() + 130), content);
}

TEST(BlobTest, RefusesBadArguments) {
    ChainPtr chain = make_chain(bytes_of("pw"), {ENDEC_RIJNDAEL});
    ASSERT_NE(chain, nullptr);
    Bytes content(64, 1);
    Bytes out(128);
    EXPECT_EQ(endec_blob_seal(chain.get(), nullptr, 64, out.data(), out.size()), -1);
    EXPECT_EQ(endec_blob_seal(chain.get(), content.data(), 64, nullptr, 128), -1);
    EXPECT_EQ(endec_blob_seal(chain.get(), content.data(), 64, out.data(), 63), -1)
        << "output smaller than the stored length";
    // The length check comes before any byte is read or written.
    out.assign(128, 0x5c);
    EXPECT_EQ(endec_blob_seal(chain.get(), content.data(), kEndecMaxBlobContent + 1, out.data(),
                              out.size()),
              -1);
    EXPECT_EQ(out, Bytes(128, 0x5c));
    EXPECT_EQ(endec_blob_unseal(chain.get(), content.data(), 32, out.data()), -1)
        << "not a multiple of 64";
    EXPECT_EQ(endec_blob_unseal(chain.get(), nullptr, 64, out.data()), -1);
    endec_chain foreign = *chain;
    foreign.tag = 0;
    EXPECT_EQ(endec_blob_seal(&foreign, content.data(), 64, out.data(), out.size()), -1);
}

TEST(BlobTest, LargestContentIsAccepted) {
    ChainPtr chain = make_chain(bytes_of("big"), {ENDEC_RIJNDAEL});
    ASSERT_NE(chain, nullptr);
    Bytes buffer(kEndecMaxBlobContent, 0x31);
    ASSERT_EQ(
        endec_blob_seal(chain.get(), buffer.data(), buffer.size(), buffer.data(), buffer.size()),
        static_cast<int64_t>(kEndecMaxBlobContent));
    ASSERT_EQ(endec_blob_unseal(chain.get(), buffer.data(), buffer.size(), buffer.data()), 0);
    EXPECT_EQ(buffer.front(), 0x31);
    EXPECT_EQ(buffer.back(), 0x31);
}

TEST(CheckValueTest, SixtyFourBytesBelowTwoHundredFiftyFive) {
    std::set<int> seen;
    for (int round = 0; round < 64; ++round) {
        uint8_t value[kEndecCheckValueSize + 1];
        value[kEndecCheckValueSize] = 0xff;
        ASSERT_EQ(endec_make_check_value(value), 0);
        EXPECT_EQ(value[kEndecCheckValueSize], 0xff) << "wrote past 64 bytes";
        for (size_t i = 0; i < kEndecCheckValueSize; ++i) {
            ASSERT_LE(value[i], 254);
            seen.insert(value[i]);
        }
    }
    // 4096 draws from 255 values miss one with negligible probability; a
    // generator stuck on few values would not get close.
    EXPECT_GE(seen.size(), 250u);
    EXPECT_EQ(seen.count(255), 0u);
    EXPECT_EQ(endec_make_check_value(nullptr), -1);
}

TEST(CheckValueTest, FreshForEveryDatabaseEvenInTheSameSecond) {
    uint8_t first[kEndecCheckValueSize];
    uint8_t second[kEndecCheckValueSize];
    ASSERT_EQ(endec_make_check_value(first), 0);
    ASSERT_EQ(endec_make_check_value(second), 0);
    EXPECT_NE(std::memcmp(first, second, sizeof first), 0);
}

TEST(CheckValueTest, VerifiesThePasswordThroughTheChain) {
    // What a database keeps: the value and its enciphered copy; only a chain
    // with the same password and ids gives the value back.
    uint8_t value[kEndecCheckValueSize];
    ASSERT_EQ(endec_make_check_value(value), 0);
    const Bytes plain(value, value + sizeof value);
    const std::vector<uint32_t> ids = {ENDEC_CAMELLIA, ENDEC_TWOFISH};
    ChainPtr chain = make_chain(bytes_of("open sesame"), ids);
    ASSERT_NE(chain, nullptr);
    const Bytes stored = encrypt(chain.get(), plain);
    ChainPtr same = make_chain(bytes_of("open sesame"), ids);
    ChainPtr wrong = make_chain(bytes_of("open sesamf"), ids);
    ASSERT_TRUE(same && wrong);
    EXPECT_EQ(decrypt(same.get(), stored), plain);
    EXPECT_NE(decrypt(wrong.get(), stored), plain);
}

}  // namespace
}  // namespace lorvex
