#include "endec_subsys/rijndael/rijndael.h"

#include <cstring>

#include "endec_subsys/endec.h"
#include "endec_subsys/internal/adapter.h"

namespace lorvex {

using namespace endec_internal;

namespace {

int run(void* pointer, bool encrypt, const uint8_t* in, size_t length, uint8_t* out) {
    CipherContext* context = context_with_tag(pointer, kRijndaelContextTag);
    if (context == nullptr || in == nullptr || out == nullptr) return -1;
    const size_t whole = length - length % kBlockSize;
    if (overlaps_partly(in, out, length)) return -1;
    if (whole > 0) {
        Lease cbc(context->forward);
        if (cbc_fresh(cbc.get(), encrypt, in, whole, out) != 0) return -1;
    }
    if (in != out) std::memcpy(out + whole, in + whole, length - whole);
    return 0;
}

}  // namespace

void* rijndael_create(const uint8_t* password, size_t password_length) {
    if (password == nullptr || password_length == 0) return nullptr;
    uint8_t key[kEndecKeySize];
    if (endec_expand_key(password, password_length, key, sizeof key) != 0) return nullptr;
    void* context = make_context(kRijndaelContextTag, GCRY_CIPHER_AES256, GCRY_CIPHER_MODE_CBC, 0,
                                 key, sizeof key);
    wipe(key, sizeof key);
    return context;
}

int rijndael_destroy(void* context) {
    return release_context(context, kRijndaelContextTag);
}

int rijndael_encrypt(void* context, const uint8_t* in, size_t length, uint8_t* out) {
    return run(context, true, in, length, out);
}

int rijndael_decrypt(void* context, const uint8_t* in, size_t length, uint8_t* out) {
    return run(context, false, in, length, out);
}

}  // namespace lorvex
