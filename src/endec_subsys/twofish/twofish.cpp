#include "endec_subsys/twofish/twofish.h"

#include <cstring>

#include "endec_subsys/endec.h"
#include "endec_subsys/internal/adapter.h"

namespace lorvex {

using namespace endec_internal;

namespace {

constexpr size_t kDigits = 2 * kEndecKeySize;

int run(void* pointer, bool encrypt, const uint8_t* in, size_t length, uint8_t* out) {
    CipherContext* context = context_with_tag(pointer, kTwofishContextTag);
    if (context == nullptr || in == nullptr || out == nullptr) return -1;
    if (overlaps_partly(in, out, length)) return -1;
    const size_t whole = length - length % kBlockSize;
    if (whole > 0) {
        Lease handle(encrypt ? context->forward : context->backward);
        const int result = encrypt ? ecb_encrypt_via_cfb(handle.get(), in, whole, out)
                                   : ecb_decrypt_via_cbc(handle.get(), in, whole, out);
        if (result != 0) return -1;
    }
    if (in != out) std::memcpy(out + whole, in + whole, length - whole);
    return 0;
}

}  // namespace

int twofish_nibble_key(const uint8_t* password, size_t password_length, uint8_t key[32]) {
    if (password == nullptr || password_length == 0 || key == nullptr) return -1;
    // Digit values (0 to 15) stand for the lower-case hex characters; only
    // their values enter the key, so there is no need to spell them out.
    uint8_t digits[kDigits];
    const size_t used = password_length < kDigits ? password_length : kDigits;
    for (size_t i = 0; i < used; ++i) digits[i] = password[i] & 0x0f;
    uint8_t expanded[kDigits];
    const int result = endec_expand_key(digits, used, expanded, kDigits);
    if (result == 0) {
        for (size_t k = 0; k < kEndecKeySize; ++k) {
            key[k] = static_cast<uint8_t>(expanded[2 * k] << 4 | expanded[2 * k + 1]);
        }
    }
    wipe(digits, sizeof digits);
    wipe(expanded, sizeof expanded);
    return result;
}

void* twofish_create_with_key(const uint8_t key[32]) {
    if (key == nullptr) return nullptr;
    return make_context(kTwofishContextTag, GCRY_CIPHER_TWOFISH, GCRY_CIPHER_MODE_CFB,
                        GCRY_CIPHER_MODE_CBC, key, kEndecKeySize);
}

void* twofish_create(const uint8_t* password, size_t password_length) {
    uint8_t key[kEndecKeySize];
    if (twofish_nibble_key(password, password_length, key) != 0) return nullptr;
    void* context = twofish_create_with_key(key);
    wipe(key, sizeof key);
    return context;
}

int twofish_destroy(void* context) {
    return release_context(context, kTwofishContextTag);
}

int twofish_encrypt(void* context, const uint8_t* in, size_t length, uint8_t* out) {
    return run(context, true, in, length, out);
}

int twofish_decrypt(void* context, const uint8_t* in, size_t length, uint8_t* out) {
    return run(context, false, in, length, out);
}

}  // namespace lorvex
