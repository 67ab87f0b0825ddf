// Twofish-256 stage in ECB, keyed with the nibble key of the password.
// Contexts belong to the caller of twofish_create and go back through
// twofish_destroy; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lorvex {

// The nibble key: each password byte's low four bits as one hex digit, the
// digits expanded cyclically to 64, read two per key byte (high nibble
// first). -1 for a missing or empty password or a missing key buffer.
[[nodiscard]] int twofish_nibble_key(const uint8_t* password, size_t password_length,
                                     uint8_t key[32]);

// Null for a missing or empty password.
void* twofish_create(const uint8_t* password, size_t password_length);
// A context with a raw 256-bit key, for keys no password can give.
void* twofish_create_with_key(const uint8_t key[32]);
[[nodiscard]] int twofish_destroy(void* context);
// floor(length / 16) blocks, each on its own; trailing bytes are copied
// unchanged. in == out is allowed.
[[nodiscard]] int twofish_encrypt(void* context, const uint8_t* in, size_t length, uint8_t* out);
[[nodiscard]] int twofish_decrypt(void* context, const uint8_t* in, size_t length, uint8_t* out);

}  // namespace lorvex
