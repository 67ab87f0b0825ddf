// The part every cipher adapter shares: a context that starts with its
// 32-bit tag, made and released by the adapter that owns the tag. Used only
// inside this module; contexts may be used from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#include "endec_subsys/internal/block_cipher.h"

namespace lorvex::endec_internal {

// Both pools hold handles keyed with the same key. For CBC ciphers only
// `forward` is used; for ECB ciphers `forward` is a CFB pool (encryption)
// and `backward` a CBC pool (decryption), see block_cipher.h.
struct CipherContext {
    uint32_t tag;
    HandlePool forward;
    HandlePool backward;
};
static_assert(std::is_standard_layout_v<CipherContext>, "the tag must sit at offset 0");
static_assert(offsetof(CipherContext, tag) == 0);

// The context behind pointer when it carries tag, else null.
inline CipherContext* context_with_tag(void* pointer, uint32_t tag) {
    if (pointer == nullptr) return nullptr;
    uint32_t found;
    std::memcpy(&found, pointer, sizeof found);
    return found == tag ? static_cast<CipherContext*>(pointer) : nullptr;
}

// A keyed context: forward and backward pools of algorithm in the given
// modes (backward_mode 0: no backward pool). Null on failure.
inline CipherContext* make_context(uint32_t tag, int algorithm, int forward_mode, int backward_mode,
                                   const uint8_t* key, size_t key_length) {
    auto* context = new (std::nothrow) CipherContext;
    if (context == nullptr) return nullptr;
    context->tag = tag;
    if (context->forward.init(algorithm, forward_mode, key, key_length) != 0 ||
        (backward_mode != 0 &&
         context->backward.init(algorithm, backward_mode, key, key_length) != 0)) {
        context->tag = 0;
        delete context;
        return nullptr;
    }
    return context;
}

// Clears the tag and frees the context; the pools wipe their keys.
inline int release_context(void* pointer, uint32_t tag) {
    CipherContext* context = context_with_tag(pointer, tag);
    if (context == nullptr) return -1;
    context->tag = 0;
    delete context;
    return 0;
}

}  // namespace lorvex::endec_internal
