// Rijndael (AES-256) stage: CBC with a zero vector restarted at every call,
// keyed with the password expanded to 32 bytes. Contexts belong to the
// caller of rijndael_create and go back through rijndael_destroy; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lorvex {

// Null for a missing or empty password.
void* rijndael_create(const uint8_t* password, size_t password_length);
[[nodiscard]] int rijndael_destroy(void* context);
// floor(length / 16) blocks as one CBC message; trailing bytes are copied
// unchanged. in == out is allowed.
[[nodiscard]] int rijndael_encrypt(void* context, const uint8_t* in, size_t length, uint8_t* out);
[[nodiscard]] int rijndael_decrypt(void* context, const uint8_t* in, size_t length, uint8_t* out);

}  // namespace lorvex
