// The registry is a fixed table filled once; a chain is a tagged record of
// up to six stages, each a cipher context with the operations copied from
// its registry entry. Multi-stage chains run the first stage from the input
// into the output and every further stage in place on the output, so no
// work buffers are needed and the bytes are those of stage-by-stage copying.
#include "endec_subsys/endec.h"

#include <sys/random.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <new>
#include <random>

#include "endec_subsys/camellia/camellia.h"
#include "endec_subsys/internal/block_cipher.h"
#include "endec_subsys/rijndael/rijndael.h"
#include "endec_subsys/twofish/twofish.h"

namespace lorvex {

namespace {

endec_registry g_registry;  // written once inside endec_init's one-time block

endec_cipher_desc describe(uint32_t id, const char* name, void* (*create)(const uint8_t*, size_t),
                           int (*destroy)(void*),
                           int (*encrypt)(void*, const uint8_t*, size_t, uint8_t*),
                           int (*decrypt)(void*, const uint8_t*, size_t, uint8_t*)) {
    endec_cipher_desc desc{};
    desc.id = id;
    std::strncpy(desc.name, name, sizeof desc.name - 1);
    desc.create = create;
    desc.destroy = destroy;
    desc.encrypt = encrypt;
    desc.decrypt = decrypt;
    return desc;
}

const endec_registry* registry() {
    static const int ready = endec_init();
    return ready == 0 ? &g_registry : nullptr;
}

const endec_cipher_desc* find_cipher(uint32_t id) {
    const endec_registry* reg = registry();
    if (reg == nullptr) return nullptr;
    for (int32_t i = 0; i < reg->count; ++i) {
        if (reg->entries[i].id == id) return &reg->entries[i];
    }
    return nullptr;
}

bool chain_usable(const endec_chain* chain, const uint8_t* in, size_t length, const uint8_t* out) {
    if (chain == nullptr || in == nullptr || out == nullptr) return false;
    if (length % kEndecChainGranule != 0) return false;
    if (chain->tag != kEndecChainTag) return false;
    if (chain->count < 1 || chain->count > kEndecMaxStages) return false;
    return !endec_internal::overlaps_partly(in, out, length);
}

// Stages destroyed in order; the first refusal stops with -1.
int destroy_stages(endec_chain* chain) {
    for (int32_t i = 0; i < chain->count; ++i) {
        if (chain->stages[i].destroy(chain->stages[i].context) != 0) return -1;
        chain->stages[i].context = nullptr;
    }
    chain->count = 0;
    return 0;
}

}  // namespace

int endec_init() {
    static const int result = [] {
        if (endec_internal::gcrypt_ready() != 0) return -1;
        g_registry.entries[0] = describe(ENDEC_RIJNDAEL, "rijndael", rijndael_create,
                                         rijndael_destroy, rijndael_encrypt, rijndael_decrypt);
        g_registry.entries[1] = describe(ENDEC_CAMELLIA, "camellia", camellia_create,
                                         camellia_destroy, camellia_encrypt, camellia_decrypt);
        g_registry.entries[2] = describe(ENDEC_TWOFISH, "twofish", twofish_create, twofish_destroy,
                                         twofish_encrypt, twofish_decrypt);
        g_registry.count = 3;
        g_registry.tag = kEndecRegistryTag;
        return 0;
    }();
    return result;
}

int endec_list(endec_registry* out) {
    if (out == nullptr) return -1;
    const endec_registry* reg = registry();
    if (reg == nullptr) return -1;
    *out = *reg;
    return 0;
}

int endec_expand_key(const uint8_t* src, size_t src_length, uint8_t* dst, size_t dst_length) {
    if (src == nullptr || dst == nullptr || src_length == 0) return -1;
    if (src_length >= dst_length) {
        std::memcpy(dst, src, dst_length);
        return 0;
    }
    for (size_t i = 0; i < dst_length; ++i) dst[i] = src[i % src_length];
    return 0;
}

int endec_chain_create(const uint8_t* password, size_t password_length, const uint32_t* ids,
                       int32_t id_count, endec_chain** chain) {
    if (password == nullptr || ids == nullptr || chain == nullptr) return -1;
    if (id_count < 1 || id_count > kEndecMaxStages) return -1;
    if (password_length == 0 || password_length > kEndecMaxPassword) return -1;
    const endec_cipher_desc* descs[kEndecMaxStages];
    for (int32_t i = 0; i < id_count; ++i) {
        descs[i] = find_cipher(ids[i]);
        if (descs[i] == nullptr) return -1;
    }
    auto* made = new (std::nothrow) endec_chain{};
    if (made == nullptr) return -1;
    made->tag = kEndecChainTag;
    for (int32_t i = 0; i < id_count; ++i) {
        endec_stage& stage = made->stages[i];
        stage.create = descs[i]->create;
        stage.destroy = descs[i]->destroy;
        stage.encrypt = descs[i]->encrypt;
        stage.decrypt = descs[i]->decrypt;
    }
    for (int32_t i = 0; i < id_count; ++i) {
        endec_stage& stage = made->stages[i];
        stage.context = stage.create(password, password_length);
        if (stage.context == nullptr) {
            (void)destroy_stages(made);
            made->tag = 0;
            delete made;
            return -1;
        }
        made->count = i + 1;
    }
    *chain = made;
    return 0;
}

int endec_chain_encrypt(const endec_chain* chain, const uint8_t* in, size_t length, uint8_t* out) {
    if (!chain_usable(chain, in, length, out)) return -1;
    if (length == 0) return 0;
    const uint8_t* source = in;
    for (int32_t i = 0; i < chain->count; ++i) {
        const endec_stage& stage = chain->stages[i];
        if (stage.encrypt(stage.context, source, length, out) != 0) return -1;
        source = out;
    }
    return 0;
}

int endec_chain_decrypt(const endec_chain* chain, const uint8_t* in, size_t length, uint8_t* out) {
    if (!chain_usable(chain, in, length, out)) return -1;
    if (length == 0) return 0;
    const uint8_t* source = in;
    for (int32_t i = chain->count - 1; i >= 0; --i) {
        const endec_stage& stage = chain->stages[i];
        if (stage.decrypt(stage.context, source, length, out) != 0) return -1;
        source = out;
    }
    return 0;
}

int endec_chain_destroy(endec_chain* chain) {
    if (chain == nullptr || chain->tag != kEndecChainTag) return -1;
    if (destroy_stages(chain) != 0) return -1;
    chain->tag = 0;
    delete chain;
    return 0;
}

int endec_make_check_value(uint8_t* out, size_t length) {
    if (out == nullptr) return -1;
    // The clock alone repeats within a second; kernel entropy and a process
    // counter keep two databases made in the same second apart.
    static std::atomic<uint64_t> made{0};
    const uint64_t serial = made.fetch_add(1, std::memory_order_relaxed);
    const auto seconds = static_cast<uint64_t>(std::time(nullptr));
    const auto ticks =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    uint32_t entropy[8] = {};
    if (getrandom(entropy, sizeof entropy, 0) != static_cast<ssize_t>(sizeof entropy)) {
        std::random_device device;
        for (uint32_t& word : entropy) word = device();
    }
    std::seed_seq seed{static_cast<uint32_t>(seconds),
                       static_cast<uint32_t>(seconds >> 32),
                       static_cast<uint32_t>(ticks),
                       static_cast<uint32_t>(ticks >> 32),
                       static_cast<uint32_t>(serial),
                       static_cast<uint32_t>(serial >> 32),
                       entropy[0],
                       entropy[1],
                       entropy[2],
                       entropy[3],
                       entropy[4],
                       entropy[5],
                       entropy[6],
                       entropy[7]};
    std::mt19937 generator(seed);
    for (size_t i = 0; i < length; ++i) out[i] = static_cast<uint8_t>(generator() % 255);
    endec_internal::wipe(entropy, sizeof entropy);
    return 0;
}

int64_t endec_blob_stored_length(size_t content_length) {
    if (content_length > kEndecMaxBlobContent) return -1;
    return static_cast<int64_t>((content_length + kEndecBlobAlign - 1) / kEndecBlobAlign *
                                kEndecBlobAlign);
}

int64_t endec_blob_seal(const endec_chain* chain, const uint8_t* content, size_t content_length,
                        uint8_t* out, size_t out_capacity) {
    if (content == nullptr || out == nullptr) return -1;
    const int64_t stored = endec_blob_stored_length(content_length);
    if (stored < 0 || out_capacity < static_cast<size_t>(stored)) return -1;
    if (content != out) std::memmove(out, content, content_length);
    std::memset(out + content_length, 0, static_cast<size_t>(stored) - content_length);
    if (chain != nullptr &&
        endec_chain_encrypt(chain, out, static_cast<size_t>(stored), out) != 0) {
        return -1;
    }
    return stored;
}

int endec_blob_unseal(const endec_chain* chain, const uint8_t* stored, size_t stored_length,
                      uint8_t* out) {
    if (stored == nullptr || out == nullptr || stored_length % kEndecBlobAlign != 0) return -1;
    if (chain != nullptr) return endec_chain_decrypt(chain, stored, stored_length, out);
    if (stored != out) std::memmove(out, stored, stored_length);
    return 0;
}

}  // namespace lorvex
