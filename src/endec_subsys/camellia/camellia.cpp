#include "endec_subsys/camellia/camellia.h"

#include "endec_subsys/endec.h"
#include "endec_subsys/internal/adapter.h"

namespace lorvex {

using namespace endec_internal;

void* camellia_create(const uint8_t* password, size_t password_length) {
    if (password == nullptr || password_length == 0) return nullptr;
    uint8_t key[kEndecKeySize];
    if (endec_expand_key(password, password_length, key, sizeof key) != 0) return nullptr;
    void* context = make_context(kCamelliaContextTag, GCRY_CIPHER_CAMELLIA256, GCRY_CIPHER_MODE_CFB,
                                 GCRY_CIPHER_MODE_CBC, key, sizeof key);
    wipe(key, sizeof key);
    return context;
}

int camellia_destroy(void* context) {
    return release_context(context, kCamelliaContextTag);
}

int camellia_encrypt(void* pointer, const uint8_t* in, size_t length, uint8_t* out) {
    CipherContext* context = context_with_tag(pointer, kCamelliaContextTag);
    if (context == nullptr || in == nullptr || out == nullptr || length % kBlockSize != 0) {
        return -1;
    }
    if (length == 0) return 0;
    Lease cfb(context->forward);
    return ecb_encrypt_via_cfb(cfb.get(), in, length, out);
}

int camellia_decrypt(void* pointer, const uint8_t* in, size_t length, uint8_t* out) {
    CipherContext* context = context_with_tag(pointer, kCamelliaContextTag);
    if (context == nullptr || in == nullptr || out == nullptr || length % kBlockSize != 0) {
        return -1;
    }
    if (length == 0) return 0;
    Lease cbc(context->backward);
    return ecb_decrypt_via_cbc(cbc.get(), in, length, out);
}

}  // namespace lorvex
