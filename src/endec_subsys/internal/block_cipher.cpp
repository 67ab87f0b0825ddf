// libgcrypt 1.10 runs ECB one block at a time, while CBC decryption and CFB
// decryption have wide (AES-NI/AVX2) paths for Camellia and Twofish. Both
// modes reduce to ECB with a cheap XOR pass, so the adapters route ECB
// through them. Buffers are walked in chunks that stay in the first-level
// cache, so the XOR pass reads what the cipher has just written.
#include "endec_subsys/internal/block_cipher.h"

#include <string.h>

#include <algorithm>
#include <cstring>

namespace lorvex::endec_internal {

namespace {

constexpr size_t kChunk = 16 * 1024;

// dst[i] ^= src[i] for length bytes (a multiple of 16).
void xor_into(uint8_t* dst, const uint8_t* src, size_t length) {
    for (size_t i = 0; i < length; i += 8) {
        uint64_t a;
        uint64_t b;
        std::memcpy(&a, dst + i, 8);
        std::memcpy(&b, src + i, 8);
        a ^= b;
        std::memcpy(dst + i, &a, 8);
    }
}

}  // namespace

int gcrypt_ready() {
    static const int result = [] {
        if (gcry_check_version(GCRYPT_VERSION) == nullptr) return -1;
        // Another part of the process may have set the library up already.
        if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P) == 0) {
            gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
            gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        }
        return 0;
    }();
    return result;
}

void wipe(void* data, size_t length) {
    if (data != nullptr && length > 0) explicit_bzero(data, length);
}

bool overlaps_partly(const uint8_t* a, const uint8_t* b, size_t n) {
    if (a == b || n == 0) return false;
    return a < b + n && b < a + n;
}

HandlePool::~HandlePool() {
    for (int i = 0; i < cached_count_; ++i) gcry_cipher_close(cached_[i]);
    cached_count_ = 0;
    wipe(key_, sizeof key_);
}

gcry_cipher_hd_t HandlePool::open_keyed() const {
    gcry_cipher_hd_t handle = nullptr;
    if (gcry_cipher_open(&handle, algorithm_, mode_, 0) != 0) return nullptr;
    if (gcry_cipher_setkey(handle, key_, key_length_) != 0) {
        gcry_cipher_close(handle);
        return nullptr;
    }
    return handle;
}

int HandlePool::init(int algorithm, int mode, const uint8_t* key, size_t key_length) {
    if (gcrypt_ready() != 0 || key == nullptr || key_length == 0 || key_length > sizeof key_) {
        return -1;
    }
    algorithm_ = algorithm;
    mode_ = mode;
    key_length_ = key_length;
    std::memcpy(key_, key, key_length);
    gcry_cipher_hd_t first = open_keyed();
    if (first == nullptr) return -1;
    std::lock_guard lock(mutex_);
    cached_[cached_count_++] = first;
    return 0;
}

gcry_cipher_hd_t HandlePool::acquire() {
    {
        std::lock_guard lock(mutex_);
        if (cached_count_ > 0) return cached_[--cached_count_];
    }
    return open_keyed();
}

void HandlePool::release(gcry_cipher_hd_t handle) {
    {
        std::lock_guard lock(mutex_);
        if (cached_count_ < kCached) {
            cached_[cached_count_++] = handle;
            return;
        }
    }
    gcry_cipher_close(handle);
}

int ecb_decrypt_via_cbc(gcry_cipher_hd_t cbc, const uint8_t* in, size_t length, uint8_t* out) {
    if (cbc == nullptr || length % kBlockSize != 0 || overlaps_partly(in, out, length)) return -1;
    static const uint8_t kZeroVector[kBlockSize] = {};
    alignas(64) uint8_t copy[kChunk];
    const bool in_place = in == out;
    int result = 0;
    for (size_t offset = 0; offset < length; offset += kChunk) {
        const size_t n = std::min(kChunk, length - offset);
        const uint8_t* source = in + offset;
        if (in_place) {
            std::memcpy(copy, source, n);
            source = copy;
        }
        // Each chunk starts from a zero vector, so its first block comes out
        // as the plain block decryption; the others carry the block before.
        if (gcry_cipher_setiv(cbc, kZeroVector, kBlockSize) != 0 ||
            gcry_cipher_decrypt(cbc, out + offset, n, source, n) != 0) {
            result = -1;
            break;
        }
        xor_into(out + offset + kBlockSize, source, n - kBlockSize);
    }
    if (in_place) wipe(copy, sizeof copy);
    return result;
}

int ecb_encrypt_via_cfb(gcry_cipher_hd_t cfb, const uint8_t* in, size_t length, uint8_t* out) {
    if (cfb == nullptr || length % kBlockSize != 0 || overlaps_partly(in, out, length)) return -1;
    if (length == 0) return 0;
    static const uint8_t kZeroBlock[kBlockSize] = {};
    // CFB decryption yields E(c[i-1]) ^ c[i] with c[-1] the vector. With the
    // vector x[0] and c[i] = x[i+1], block i is E(x[i]) ^ x[i+1].
    alignas(64) uint8_t copy[kChunk + kBlockSize];
    const bool in_place = in == out;
    int result = 0;
    for (size_t offset = 0; offset < length; offset += kChunk) {
        const size_t n = std::min(kChunk, length - offset);
        const bool last = offset + n == length;
        const size_t shifted = last ? n - kBlockSize : n;  // bytes of x[i+1] available
        const uint8_t* source = in + offset;
        if (in_place) {
            // The block after this chunk is still unwritten input.
            std::memcpy(copy, source, shifted + kBlockSize);
            source = copy;
        }
        if (gcry_cipher_setiv(cfb, source, kBlockSize) != 0 ||
            (shifted > 0 &&
             gcry_cipher_decrypt(cfb, out + offset, shifted, source + kBlockSize, shifted) != 0)) {
            result = -1;
            break;
        }
        xor_into(out + offset, source + kBlockSize, shifted);
        // The vector now holds the last input block: one zero block gives
        // its plain encryption.
        if (last && gcry_cipher_decrypt(cfb, out + offset + shifted, kBlockSize, kZeroBlock,
                                        kBlockSize) != 0) {
            result = -1;
        }
    }
    if (in_place) wipe(copy, sizeof copy);
    return result;
}

int cbc_fresh(gcry_cipher_hd_t cbc, bool encrypt, const uint8_t* in, size_t length, uint8_t* out) {
    if (cbc == nullptr || length % kBlockSize != 0 || overlaps_partly(in, out, length)) return -1;
    if (length == 0) return 0;
    static const uint8_t kZeroVector[kBlockSize] = {};
    if (gcry_cipher_setiv(cbc, kZeroVector, kBlockSize) != 0) return -1;
    const gcry_error_t error = encrypt ? gcry_cipher_encrypt(cbc, out, length, in, length)
                                       : gcry_cipher_decrypt(cbc, out, length, in, length);
    return error == 0 ? 0 : -1;
}

}  // namespace lorvex::endec_internal
