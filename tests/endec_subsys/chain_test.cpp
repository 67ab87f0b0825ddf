// The registry and the cipher chain: stage order, modes, and refusal of bad
// input without touching memory it was not given.
#include <gtest/gtest.h>

#include <cstring>

#include "endec_subsys/camellia/camellia.h"
#include "endec_subsys/endec.h"
#include "endec_subsys/rijndael/rijndael.h"
#include "endec_subsys/twofish/twofish.h"
#include "endec_test_util.h"

namespace lorvex {
namespace {

using namespace endec_test;

const Bytes kPassword = bytes_of("correct horse");

TEST(RegistryTest, ListsTheThreeCiphersInOrder) {
    ASSERT_EQ(endec_init(), 0);
    ASSERT_EQ(endec_init(), 0) << "a second call changes nothing";
    endec_registry registry;
    std::memset(&registry, 0xee, sizeof registry);
    ASSERT_EQ(endec_list(&registry), 0);
    EXPECT_EQ(registry.tag, kEndecRegistryTag);
    ASSERT_EQ(registry.count, 3);
    const struct {
        uint32_t id;
        const char* name;
    } expected[] = {{0x10001, "rijndael"}, {0x10002, "camellia"}, {0x20003, "twofish"}};
    for (int i = 0; i < 3; ++i) {
        const endec_cipher_desc& entry = registry.entries[i];
        EXPECT_EQ(entry.id, expected[i].id);
        char name[kEndecNameSize] = {};
        std::strncpy(name, expected[i].name, sizeof name);
        EXPECT_EQ(std::memcmp(entry.name, name, sizeof name), 0) << "NUL-padded " << name;
        EXPECT_NE(entry.create, nullptr);
    }
    EXPECT_EQ(endec_list(nullptr), -1);
}

TEST(ChainTest, RoundTripsEveryCombination) {
    const std::vector<std::vector<uint32_t>> lists = {
        {ENDEC_RIJNDAEL},
        {ENDEC_CAMELLIA},
        {ENDEC_TWOFISH},
        {ENDEC_RIJNDAEL, ENDEC_TWOFISH},
        {ENDEC_CAMELLIA, ENDEC_CAMELLIA},
        {ENDEC_RIJNDAEL, ENDEC_CAMELLIA, ENDEC_TWOFISH, ENDEC_TWOFISH, ENDEC_CAMELLIA,
         ENDEC_RIJNDAEL},
    };
    const Bytes plain = random_bytes(4096 + 32, 11);
    for (const auto& ids : lists) {
        SCOPED_TRACE(ids.size());
        ChainPtr chain = make_chain(kPassword, ids);
        ASSERT_NE(chain, nullptr);
        EXPECT_EQ(chain->tag, kEndecChainTag);
        EXPECT_EQ(chain->count, static_cast<int32_t>(ids.size()));
        const Bytes enciphered = encrypt(chain.get(), plain);
        ASSERT_EQ(enciphered.size(), plain.size());
        EXPECT_NE(enciphered, plain);
        EXPECT_EQ(decrypt(chain.get(), enciphered), plain);
        // In place gives the same bytes.
        Bytes buffer = plain;
        ASSERT_EQ(endec_chain_encrypt(chain.get(), buffer.data(), buffer.size(), buffer.data()), 0);
        EXPECT_EQ(buffer, enciphered);
        ASSERT_EQ(endec_chain_decrypt(chain.get(), buffer.data(), buffer.size(), buffer.data()), 0);
        EXPECT_EQ(buffer, plain);
    }
}

TEST(ChainTest, StagesRunInIdOrderAndUndoInReverse) {
    const Bytes plain = random_bytes(256, 12);
    ChainPtr camellia = make_chain(kPassword, {ENDEC_CAMELLIA});
    ChainPtr twofish = make_chain(kPassword, {ENDEC_TWOFISH});
    ChainPtr forward = make_chain(kPassword, {ENDEC_CAMELLIA, ENDEC_TWOFISH});
    ChainPtr backward = make_chain(kPassword, {ENDEC_TWOFISH, ENDEC_CAMELLIA});
    ASSERT_TRUE(camellia && twofish && forward && backward);

    const Bytes enciphered = encrypt(forward.get(), plain);
    EXPECT_EQ(enciphered, encrypt(twofish.get(), encrypt(camellia.get(), plain)));
    // Undoing Twofish first, then Camellia, is the only way back.
    EXPECT_EQ(decrypt(camellia.get(), decrypt(twofish.get(), enciphered)), plain);
    EXPECT_NE(decrypt(twofish.get(), decrypt(camellia.get(), enciphered)), plain);
    // The other id order is another chain.
    EXPECT_NE(encrypt(backward.get(), plain), enciphered);
    EXPECT_NE(decrypt(backward.get(), enciphered), plain);
}

TEST(ChainTest, RepeatedIdsAreSeparateStages) {
    const Bytes plain = random_bytes(128, 13);
    ChainPtr once = make_chain(kPassword, {ENDEC_RIJNDAEL});
    ChainPtr twice = make_chain(kPassword, {ENDEC_RIJNDAEL, ENDEC_RIJNDAEL});
    ASSERT_TRUE(once && twice);
    EXPECT_EQ(twice->count, 2);
    EXPECT_NE(twice->stages[0].context, twice->stages[1].context);
    EXPECT_EQ(encrypt(twice.get(), plain), encrypt(once.get(), encrypt(once.get(), plain)));
}

TEST(ChainTest, RijndaelRestartsItsVectorAtEveryCall) {
    ChainPtr chain = make_chain(kPassword, {ENDEC_RIJNDAEL});
    ASSERT_NE(chain, nullptr);
    const Bytes plain(64, 0x42);  // four equal blocks
    const Bytes first = encrypt(chain.get(), plain);
    EXPECT_EQ(encrypt(chain.get(), plain), first) << "two calls, same bytes";
    // Within one call the blocks chain: equal plain blocks differ.
    EXPECT_NE(std::memcmp(first.data(), first.data() + 16, 16), 0);
    // A call on the second half starts again from the zero vector.
    const Bytes half(plain.begin() + 32, plain.end());
    const Bytes half_out = encrypt(chain.get(), half);
    EXPECT_EQ(std::memcmp(half_out.data(), first.data(), 32), 0);
    EXPECT_NE(std::memcmp(half_out.data(), first.data() + 32, 32), 0);
}

TEST(ChainTest, EcbCiphersMapEqualBlocksToEqualBlocks) {
    const Bytes plain(96, 0x17);
    for (uint32_t id : {ENDEC_CAMELLIA, ENDEC_TWOFISH}) {
        SCOPED_TRACE(id);
        ChainPtr chain = make_chain(kPassword, {id});
        ASSERT_NE(chain, nullptr);
        const Bytes out = encrypt(chain.get(), plain);
        for (size_t block = 1; block < 6; ++block) {
            EXPECT_EQ(std::memcmp(out.data(), out.data() + 16 * block, 16), 0);
        }
        EXPECT_NE(std::memcmp(out.data(), plain.data(), 16), 0);
    }
}

TEST(ChainTest, LengthZeroSucceedsAndWritesNothing) {
    ChainPtr chain = make_chain(kPassword, {ENDEC_CAMELLIA, ENDEC_TWOFISH});
    ASSERT_NE(chain, nullptr);
    uint8_t in[32] = {1};
    uint8_t out[32];
    std::memset(out, 0xcd, sizeof out);
    EXPECT_EQ(endec_chain_encrypt(chain.get(), in, 0, out), 0);
    EXPECT_EQ(endec_chain_decrypt(chain.get(), in, 0, out), 0);
    EXPECT_EQ(out[0], 0xcd);
    EXPECT_EQ(out[31], 0xcd);
}

TEST(ChainTest, RefusesLengthsThatAreNotWholeUnits) {
    ChainPtr chain = make_chain(kPassword, {ENDEC_TWOFISH});
    ASSERT_NE(chain, nullptr);
    Bytes in(100, 1);
    Bytes out(100);
    for (size_t length : {1, 16, 31, 33, 48, 63, 65, 100}) {
        SCOPED_TRACE(length);
        EXPECT_EQ(endec_chain_encrypt(chain.get(), in.data(), length, out.data()), -1);
        EXPECT_EQ(endec_chain_decrypt(chain.get(), in.data(), length, out.data()), -1);
    }
}

struct CreateCase {
    const char* reason;
    Bytes password;
    size_t password_length;
    std::vector<uint32_t> ids;
    int32_t id_count;
    bool null_password;
    bool null_ids;
    bool null_place;
};

TEST(ChainTest, CreationRefusesBadArguments) {
    const Bytes pw = bytes_of("pw");
    const std::vector<uint32_t> one = {ENDEC_RIJNDAEL};
    const std::vector<uint32_t> seven(7, ENDEC_CAMELLIA);
    const CreateCase cases[] = {
        {"missing password", pw, 2, one, 1, true, false, false},
        {"missing id list", pw, 2, one, 1, false, true, false},
        {"missing place for the chain", pw, 2, one, 1, false, false, true},
        {"empty password", pw, 0, one, 1, false, false, false},
        {"33-byte password", Bytes(33, 'a'), 33, one, 1, false, false, false},
        {"no ids", pw, 2, one, 0, false, false, false},
        {"negative id count", pw, 2, one, -1, false, false, false},
        {"seven ids", pw, 2, seven, 7, false, false, false},
        {"unregistered id among registered ones",
         pw,
         2,
         {ENDEC_RIJNDAEL, 0x10003, ENDEC_TWOFISH},
         3,
         false,
         false,
         false},
        {"unregistered id last", pw, 2, {ENDEC_CAMELLIA, 0}, 2, false, false, false},
    };
    for (const CreateCase& c : cases) {
        SCOPED_TRACE(c.reason);
        endec_chain* sentinel = reinterpret_cast<endec_chain*>(0x1234);
        endec_chain* chain = sentinel;
        EXPECT_EQ(endec_chain_create(c.null_password ? nullptr : c.password.data(),
                                     c.password_length, c.null_ids ? nullptr : c.ids.data(),
                                     c.id_count, c.null_place ? nullptr : &chain),
                  -1);
        EXPECT_EQ(chain, sentinel) << "the caller's place is not written on failure";
    }
}

TEST(ChainTest, OperationsRefuseMissingBuffersAndForeignChains) {
    ChainPtr chain = make_chain(kPassword, {ENDEC_CAMELLIA});
    ASSERT_NE(chain, nullptr);
    Bytes in(64, 3);
    Bytes out(64);
    endec_chain untagged = *chain;
    untagged.tag = 0x94da091d;
    endec_chain empty = *chain;
    empty.count = 0;
    const struct {
        const char* reason;
        const endec_chain* chain;
        const uint8_t* in;
        uint8_t* out;
    } cases[] = {
        {"missing chain", nullptr, in.data(), out.data()},
        {"missing input", chain.get(), nullptr, out.data()},
        {"missing output", chain.get(), in.data(), nullptr},
        {"wrong tag", &untagged, in.data(), out.data()},
        {"no stages", &empty, in.data(), out.data()},
        {"output overlapping the input partly", chain.get(), in.data(), in.data() + 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(endec_chain_encrypt(c.chain, c.in, 32, c.out), -1);
        EXPECT_EQ(endec_chain_decrypt(c.chain, c.in, 32, c.out), -1);
    }
    EXPECT_EQ(endec_chain_destroy(nullptr), -1);
    EXPECT_EQ(endec_chain_destroy(&untagged), -1);
}

TEST(CipherContextTest, OperationsCheckTheirOwnTag) {
    ASSERT_EQ(endec_init(), 0);
    endec_registry registry;
    ASSERT_EQ(endec_list(&registry), 0);
    // Zeroed memory, and every other cipher's context, are foreign.
    alignas(16) uint8_t zeros[512] = {};
    void* contexts[3];
    for (int i = 0; i < 3; ++i) {
        contexts[i] = registry.entries[i].create(kPassword.data(), kPassword.size());
        ASSERT_NE(contexts[i], nullptr);
    }
    uint8_t in[32] = {};
    uint8_t out[32];
    for (int i = 0; i < 3; ++i) {
        const endec_cipher_desc& desc = registry.entries[i];
        SCOPED_TRACE(desc.name);
        EXPECT_EQ(desc.create(nullptr, 4), nullptr);
        EXPECT_EQ(desc.create(kPassword.data(), 0), nullptr);
        EXPECT_EQ(desc.encrypt(zeros, in, 32, out), -1);
        EXPECT_EQ(desc.decrypt(zeros, in, 32, out), -1);
        EXPECT_EQ(desc.destroy(zeros), -1);
        EXPECT_EQ(desc.destroy(nullptr), -1);
        EXPECT_EQ(desc.encrypt(nullptr, in, 32, out), -1);
        const int other = (i + 1) % 3;
        EXPECT_EQ(desc.encrypt(contexts[other], in, 32, out), -1);
        EXPECT_EQ(desc.destroy(contexts[other]), -1);
        EXPECT_EQ(desc.encrypt(contexts[i], in, 32, out), 0);
    }
    for (int i = 0; i < 3; ++i) EXPECT_EQ(registry.entries[i].destroy(contexts[i]), 0);
}

TEST(CipherContextTest, PartialBlocks) {
    // Camellia refuses lengths that are not whole blocks; Rijndael and
    // Twofish process the whole blocks and copy the remaining bytes.
    void* camellia = camellia_create(kPassword.data(), kPassword.size());
    void* rijndael = rijndael_create(kPassword.data(), kPassword.size());
    void* twofish = twofish_create(kPassword.data(), kPassword.size());
    ASSERT_TRUE(camellia && rijndael && twofish);
    const Bytes in = random_bytes(20, 14);
    Bytes out(20);
    EXPECT_EQ(camellia_encrypt(camellia, in.data(), 20, out.data()), -1);
    EXPECT_EQ(camellia_decrypt(camellia, in.data(), 20, out.data()), -1);
    const struct {
        const char* name;
        void* context;
        int (*encrypt)(void*, const uint8_t*, size_t, uint8_t*);
        int (*decrypt)(void*, const uint8_t*, size_t, uint8_t*);
    } ciphers[] = {{"rijndael", rijndael, rijndael_encrypt, rijndael_decrypt},
                   {"twofish", twofish, twofish_encrypt, twofish_decrypt}};
    for (const auto& c : ciphers) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.encrypt(c.context, in.data(), 20, out.data()), 0);
        Bytes whole(16);
        ASSERT_EQ(c.encrypt(c.context, in.data(), 16, whole.data()), 0);
        EXPECT_EQ(Bytes(out.begin(), out.begin() + 16), whole);
        EXPECT_EQ(Bytes(out.begin() + 16, out.end()), Bytes(in.begin() + 16, in.end()));
        Bytes back(20);
        ASSERT_EQ(c.decrypt(c.context, out.data(), 20, back.data()), 0);
        EXPECT_EQ(back, in);
    }
    EXPECT_EQ(camellia_destroy(camellia), 0);
    EXPECT_EQ(rijndael_destroy(rijndael), 0);
    EXPECT_EQ(twofish_destroy(twofish), 0);
}

}  // namespace
}  // namespace lorvex
