// Camellia-256 stage in ECB, keyed with the password expanded to 32 bytes.
// Contexts belong to the caller of camellia_create and go back through
// camellia_destroy; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lorvex {

// Null for a missing or empty password.
void* camellia_create(const uint8_t* password, size_t password_length);
[[nodiscard]] int camellia_destroy(void* context);
// length must be a multiple of 16. in == out is allowed.
[[nodiscard]] int camellia_encrypt(void* context, const uint8_t* in, size_t length, uint8_t* out);
[[nodiscard]] int camellia_decrypt(void* context, const uint8_t* in, size_t length, uint8_t* out);

}  // namespace lorvex
