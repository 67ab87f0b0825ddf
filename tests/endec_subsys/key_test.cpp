// How keys come from a password: cyclic expansion, the raw 32-byte key of
// Rijndael and Camellia, and the Twofish nibble key.
#include <gcrypt.h>
#include <gtest/gtest.h>

#include "endec_subsys/endec.h"
#include "endec_subsys/twofish/twofish.h"
#include "endec_test_util.h"

namespace lorvex {
namespace {

using namespace endec_test;

struct Expansion {
    const char* reason;
    std::string source;
    size_t length;
    std::string expected;
};

TEST(ExpandKeyTest, CyclicExpansion) {
    const Expansion cases[] = {
        {"shorter source repeats, last repetition cut", "abc", 8, "abcabcab"},
        {"source of the destination's length is copied", "abcd", 4, "abcd"},
        {"longer source: its first bytes", "abcdefgh", 3, "abc"},
        {"one byte fills everything", "z", 5, "zzzzz"},
        {"empty destination", "abc", 0, ""},
    };
    for (const Expansion& c : cases) {
        SCOPED_TRACE(c.reason);
        const Bytes source = bytes_of(c.source);
        Bytes out(c.length + 1, '#');
        ASSERT_EQ(endec_expand_key(source.data(), source.size(), out.data(), c.length), 0);
        EXPECT_EQ(std::string(out.begin(), out.begin() + c.length), c.expected);
        EXPECT_EQ(out[c.length], '#') << "wrote past the destination";
    }
}

TEST(ExpandKeyTest, RefusesMissingOrEmptySource) {
    uint8_t source[4] = {1, 2, 3, 4};
    uint8_t out[8];
    EXPECT_EQ(endec_expand_key(source, 0, out, sizeof out), -1);
    EXPECT_EQ(endec_expand_key(nullptr, 4, out, sizeof out), -1);
    EXPECT_EQ(endec_expand_key(source, 4, nullptr, sizeof out), -1);
}

struct NibbleCase {
    const char* reason;
    std::string password;
    std::string key_hex;
};

TEST(NibbleKeyTest, LowNibblesAsHexDigits) {
    auto repeat = [](const std::string& unit, int times) {
        std::string out;
        for (int i = 0; i < times; ++i) out += unit;
        return out;
    };
    const NibbleCase cases[] = {
        {"one character: every digit the same", "1", repeat("11", 32)},
        {"characters with low nibbles 10 to 15 give a to f", "0123456789:;<=>?",
         repeat("0123456789abcdef", 4)},
        {"odd length: digits run on across key bytes", "123", repeat("123", 21) + "1"},
        {"only the low nibble counts ('a' is 0x61)", "abc", repeat("123", 21) + "1"},
        {"32 characters fill half the digits, then repeat", repeat("0123456789:;<=>?", 2),
         repeat("0123456789abcdef", 4)},
    };
    for (const NibbleCase& c : cases) {
        SCOPED_TRACE(c.reason);
        const Bytes password = bytes_of(c.password);
        uint8_t key[32];
        ASSERT_EQ(twofish_nibble_key(password.data(), password.size(), key), 0);
        EXPECT_EQ(to_hex(key, sizeof key), c.key_hex);
    }
    uint8_t key[32];
    EXPECT_EQ(twofish_nibble_key(nullptr, 3, key), -1);
    EXPECT_EQ(twofish_nibble_key(reinterpret_cast<const uint8_t*>("x"), 0, key), -1);
}

// AES-256 CBC (zero vector) or Camellia-256 ECB straight from libgcrypt.
Bytes reference(uint32_t id, const Bytes& key, const Bytes& plain) {
    const int algorithm = id == ENDEC_RIJNDAEL ? GCRY_CIPHER_AES256 : GCRY_CIPHER_CAMELLIA256;
    const int mode = id == ENDEC_RIJNDAEL ? GCRY_CIPHER_MODE_CBC : GCRY_CIPHER_MODE_ECB;
    gcry_cipher_hd_t handle = nullptr;
    EXPECT_EQ(gcry_cipher_open(&handle, algorithm, mode, 0), 0u);
    EXPECT_EQ(gcry_cipher_setkey(handle, key.data(), key.size()), 0u);
    Bytes out(plain.size());
    EXPECT_EQ(gcry_cipher_encrypt(handle, out.data(), out.size(), plain.data(), plain.size()), 0u);
    gcry_cipher_close(handle);
    return out;
}

struct RawKeyCase {
    const char* reason;
    std::string password;
    std::string key;
};

TEST(PasswordKeyTest, RijndaelAndCamelliaUseTheExpandedPassword) {
    const std::string full = "0123456789abcdefghijklmnopqrstuv";
    const RawKeyCase cases[] = {
        {"one byte: 32 copies of it", "x", std::string(32, 'x')},
        {"five bytes repeat", "hello", "hellohellohellohellohellohellohe"},
        {"exactly 32 bytes are the key as they are", full, full},
    };
    ASSERT_EQ(endec_init(), 0);
    const Bytes plain = random_bytes(96, 3);
    for (const RawKeyCase& c : cases) {
        for (uint32_t id : {ENDEC_RIJNDAEL, ENDEC_CAMELLIA}) {
            SCOPED_TRACE(std::string(c.reason) +
                         (id == ENDEC_RIJNDAEL ? " rijndael" : " camellia"));
            ChainPtr chain = make_chain(bytes_of(c.password), {id});
            ASSERT_NE(chain, nullptr);
            EXPECT_EQ(encrypt(chain.get(), plain), reference(id, bytes_of(c.key), plain));
        }
    }
}

TEST(PasswordKeyTest, ThirtyTwoBytesAreUsedWholeAndThirtyThreeRefused) {
    const Bytes a = bytes_of("0123456789abcdefghijklmnopqrstuv");
    Bytes b = a;
    b[31] = 'w';  // differs only in the last byte
    const Bytes longer = bytes_of("0123456789abcdefghijklmnopqrstuvw");
    const Bytes plain = random_bytes(64, 4);
    for (uint32_t id : {ENDEC_RIJNDAEL, ENDEC_CAMELLIA, ENDEC_TWOFISH}) {
        SCOPED_TRACE(id);
        ChainPtr chain_a = make_chain(a, {id});
        ChainPtr chain_b = make_chain(b, {id});
        ASSERT_NE(chain_a, nullptr);
        ASSERT_NE(chain_b, nullptr);
        EXPECT_NE(encrypt(chain_a.get(), plain), encrypt(chain_b.get(), plain));
        EXPECT_EQ(make_chain(longer, {id}), nullptr);
    }
}

TEST(PasswordKeyTest, PasswordWrittenTwiceGivesTheSameKeys) {
    const std::string passwords[] = {"k", "secret", "sixteen-chars-pw"};
    const Bytes plain = random_bytes(128, 5);
    for (const std::string& once : passwords) {
        for (uint32_t id : {ENDEC_RIJNDAEL, ENDEC_CAMELLIA, ENDEC_TWOFISH}) {
            SCOPED_TRACE(once + " cipher " + std::to_string(id));
            ChainPtr single = make_chain(bytes_of(once), {id});
            ChainPtr doubled = make_chain(bytes_of(once + once), {id});
            ASSERT_NE(single, nullptr);
            ASSERT_NE(doubled, nullptr);
            const Bytes enciphered = encrypt(single.get(), plain);
            EXPECT_EQ(encrypt(doubled.get(), plain), enciphered);
            EXPECT_EQ(decrypt(doubled.get(), enciphered), plain);
        }
    }
}

TEST(PasswordKeyTest, TwofishSeesOnlyLowNibbles) {
    // 'a' 'b' 'c' and 'q' 'r' 's' share their low nibbles 1 2 3.
    const Bytes plain = random_bytes(64, 6);
    ChainPtr abc = make_chain(bytes_of("abc"), {ENDEC_TWOFISH});
    ChainPtr qrs = make_chain(bytes_of("qrs"), {ENDEC_TWOFISH});
    ChainPtr abd = make_chain(bytes_of("abd"), {ENDEC_TWOFISH});
    ASSERT_NE(abc, nullptr);
    ASSERT_NE(qrs, nullptr);
    ASSERT_NE(abd, nullptr);
    EXPECT_EQ(encrypt(abc.get(), plain), encrypt(qrs.get(), plain));
    EXPECT_NE(encrypt(abc.get(), plain), encrypt(abd.get(), plain));
    // The other ciphers take the bytes whole.
    ChainPtr abc_aes = make_chain(bytes_of("abc"), {ENDEC_RIJNDAEL});
    ChainPtr qrs_aes = make_chain(bytes_of("qrs"), {ENDEC_RIJNDAEL});
    EXPECT_NE(encrypt(abc_aes.get(), plain), encrypt(qrs_aes.get(), plain));
}

}  // namespace
}  // namespace lorvex
