// The ECB stages run on libgcrypt's CBC and CFB bulk paths; these tests
// hold them to the bytes of a plain libgcrypt ECB handle.
#include <gcrypt.h>
#include <gtest/gtest.h>

#include "endec_subsys/camellia/camellia.h"
#include "endec_subsys/endec.h"
#include "endec_subsys/twofish/twofish.h"
#include "endec_test_util.h"

namespace lorvex {
namespace {

using namespace endec_test;

struct EcbCipher {
    const char* name;
    int algorithm;
    int (*encrypt)(void*, const uint8_t*, size_t, uint8_t*);
    int (*decrypt)(void*, const uint8_t*, size_t, uint8_t*);
    int (*destroy)(void*);
};

const EcbCipher kCiphers[] = {
    {"camellia", GCRY_CIPHER_CAMELLIA256, camellia_encrypt, camellia_decrypt, camellia_destroy},
    {"twofish", GCRY_CIPHER_TWOFISH, twofish_encrypt, twofish_decrypt, twofish_destroy},
};

// Sizes around the 16 KiB chunk the bulk paths work in.
const size_t kSizes[] = {16, 32, 48, 4096, 16368, 16384, 16400, 49152 + 48, 1 << 20};

struct Case {
    EcbCipher cipher;
    size_t size;
    bool in_place;
};

std::string case_name(const testing::TestParamInfo<Case>& info) {
    return std::string(info.param.cipher.name) + "_" + std::to_string(info.param.size) +
           (info.param.in_place ? "_in_place" : "_apart");
}

std::vector<Case> all_cases() {
    std::vector<Case> cases;
    for (const EcbCipher& cipher : kCiphers) {
        for (size_t size : kSizes) {
            cases.push_back({cipher, size, false});
            cases.push_back({cipher, size, true});
        }
    }
    return cases;
}

Bytes plain_ecb(int algorithm, const Bytes& key, const Bytes& in, bool encrypt) {
    gcry_cipher_hd_t handle = nullptr;
    EXPECT_EQ(gcry_cipher_open(&handle, algorithm, GCRY_CIPHER_MODE_ECB, 0), 0u);
    EXPECT_EQ(gcry_cipher_setkey(handle, key.data(), key.size()), 0u);
    Bytes out(in.size());
    const gcry_error_t error =
        encrypt ? gcry_cipher_encrypt(handle, out.data(), out.size(), in.data(), in.size())
                : gcry_cipher_decrypt(handle, out.data(), out.size(), in.data(), in.size());
    EXPECT_EQ(error, 0u);
    gcry_cipher_close(handle);
    return out;
}

class BulkPathTest : public testing::TestWithParam<Case> {};

TEST_P(BulkPathTest, SameBytesAsPlainEcb) {
    const Case& c = GetParam();
    ASSERT_EQ(endec_init(), 0);
    // A 32-byte password is the raw Camellia key; for Twofish the key is the
    // nibble key of the same password.
    const Bytes password = random_bytes(32, 7);
    Bytes key(32);
    if (c.cipher.algorithm == GCRY_CIPHER_TWOFISH) {
        ASSERT_EQ(twofish_nibble_key(password.data(), password.size(), key.data()), 0);
    } else {
        key = password;
    }
    void* context = c.cipher.algorithm == GCRY_CIPHER_TWOFISH
                        ? twofish_create(password.data(), password.size())
                        : camellia_create(password.data(), password.size());
    ASSERT_NE(context, nullptr);

    const Bytes input = random_bytes(c.size, static_cast<uint32_t>(c.size));
    for (bool encrypt : {true, false}) {
        SCOPED_TRACE(encrypt ? "encrypt" : "decrypt");
        const Bytes expected = plain_ecb(c.cipher.algorithm, key, input, encrypt);
        auto run = encrypt ? c.cipher.encrypt : c.cipher.decrypt;
        Bytes out = c.in_place ? input : Bytes(input.size(), 0);
        ASSERT_EQ(run(context, c.in_place ? out.data() : input.data(), input.size(), out.data()),
                  0);
        EXPECT_EQ(out, expected);
    }
    EXPECT_EQ(c.cipher.destroy(context), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BulkPathTest, testing::ValuesIn(all_cases()), case_name);

}  // namespace
}  // namespace lorvex
