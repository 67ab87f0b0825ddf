// Cipher registry, password key, cipher chain and enciphered blob layout.
// A chain belongs to whoever created it and is released with
// endec_chain_destroy; the registry is process-wide and read-only after
// endec_init. Any thread may call; one chain may serve concurrent calls as
// long as every call has its own buffers (or works in place on its own).
#pragma once

#include <cstddef>
#include <cstdint>

namespace lorvex {

// Cipher ids. They are stored in every encrypted database, so their values
// are part of the file format.
constexpr uint32_t ENDEC_RIJNDAEL = 0x10001;  // AES-256, CBC, zero vector per call
constexpr uint32_t ENDEC_CAMELLIA = 0x10002;  // Camellia-256, ECB
constexpr uint32_t ENDEC_TWOFISH = 0x20003;   // Twofish-256 keyed by the nibble key, ECB

// Validation tags of the records and contexts this module hands out.
constexpr uint32_t kEndecRegistryTag = 0x1a691230;
constexpr uint32_t kEndecChainTag = 0x94da091c;
constexpr uint32_t kRijndaelContextTag = 0x4a58d015;
constexpr uint32_t kCamelliaContextTag = 0xca0e111a;
constexpr uint32_t kTwofishContextTag = 0x4710a0fd;

constexpr int32_t kEndecRegistryCapacity = 12;
constexpr int32_t kEndecMaxStages = 6;
constexpr int32_t kEndecNameSize = 16;
// Passwords are 1 to 32 bytes as typed, not NUL-terminated.
constexpr size_t kEndecMaxPassword = 32;
constexpr size_t kEndecKeySize = 32;
// Chain buffers are whole multiples of this (0 allowed).
constexpr size_t kEndecChainGranule = 32;

// One cipher of the registry. create returns a new context keyed from the
// password (null on failure); destroy, encrypt and decrypt check the
// context's tag and return 0 or -1. encrypt/decrypt take an output buffer of
// the input's size; in == out is allowed.
struct endec_cipher_desc {
    uint32_t id;
    char name[kEndecNameSize];  // ASCII, NUL-padded
    void* (*create)(const uint8_t* password, size_t password_length);
    int (*destroy)(void* context);
    int (*encrypt)(void* context, const uint8_t* in, size_t length, uint8_t* out);
    int (*decrypt)(void* context, const uint8_t* in, size_t length, uint8_t* out);
};

struct endec_registry {
    uint32_t tag;   // kEndecRegistryTag once filled
    int32_t count;  // registered entries, in registration order
    endec_cipher_desc entries[kEndecRegistryCapacity];
};

struct endec_stage {
    void* context;
    void* (*create)(const uint8_t* password, size_t password_length);
    int (*destroy)(void* context);
    int (*encrypt)(void* context, const uint8_t* in, size_t length, uint8_t* out);
    int (*decrypt)(void* context, const uint8_t* in, size_t length, uint8_t* out);
};

// A keyed chain: stages run in the order of the ids given at creation when
// enciphering, in reverse order when deciphering. Immutable once created.
struct endec_chain {
    uint32_t tag;   // kEndecChainTag while alive
    int32_t count;  // stages whose context was created
    endec_stage stages[kEndecMaxStages];
};

// Fills the registry with rijndael, camellia, twofish (in that order) and
// initialises libgcrypt. Idempotent and thread-safe; -1 only when libgcrypt
// cannot be initialised. endec_list and endec_chain_create also run it on
// first use.
[[nodiscard]] int endec_init();

// Copies the registry (tag, count, entries) into *out. -1 when out is null.
[[nodiscard]] int endec_list(endec_registry* out);

// Cyclic key expansion: dst[i] = src[i mod src_length] for i < dst_length,
// i.e. a plain copy of the first dst_length bytes when the source is long
// enough. -1 when a buffer is missing or src_length is 0.
[[nodiscard]] int endec_expand_key(const uint8_t* src, size_t src_length, uint8_t* dst,
                                   size_t dst_length);

// Builds a chain of id_count (1 to 6) stages, each keyed from the password
// (1 to 32 bytes). Repeated ids give independent stages. -1 on a missing
// argument, a bad count or password length, or an unregistered id; *chain
// is set only on success.
[[nodiscard]] int endec_chain_create(const uint8_t* password, size_t password_length,
                                     const uint32_t* ids, int32_t id_count, endec_chain** chain);

// length must be a multiple of kEndecChainGranule (0 succeeds and writes
// nothing). in == out is allowed. -1 on a missing buffer, a bad length, a
// chain without its tag or a failing stage (out is then undefined).
[[nodiscard]] int endec_chain_encrypt(const endec_chain* chain, const uint8_t* in, size_t length,
                                      uint8_t* out);
[[nodiscard]] int endec_chain_decrypt(const endec_chain* chain, const uint8_t* in, size_t length,
                                      uint8_t* out);

// Destroys the stages' contexts in order (wiping their keys) and frees the
// chain. -1 when chain is null, its tag is wrong or a context refuses.
[[nodiscard]] int endec_chain_destroy(endec_chain* chain);

// ---- Password check value -------------------------------------------------

constexpr size_t kEndecCheckValueSize = 64;

// Writes 64 fresh pseudo-random bytes, each 0 to 254, never derived from any
// password. The generator is seeded from the clock (seconds) mixed with
// kernel entropy and a per-process counter, so databases created within the
// same second still get different values. -1 when out is null.
[[nodiscard]] int endec_make_check_value(uint8_t* out, size_t length = kEndecCheckValueSize);

// ---- Enciphered blob layout ---------------------------------------------
// A blob stores its content enciphered and padded to a multiple of 64 bytes;
// neither the content length nor a vector is stored with it.

constexpr size_t kEndecBlobAlign = 64;
constexpr size_t kEndecMaxBlobContent = 67108864;  // 64 MiB

// Stored length of a blob with content_length bytes of content: rounded up
// to a multiple of 64 (0 stays 0). -1 when the content exceeds 64 MiB.
[[nodiscard]] int64_t endec_blob_stored_length(size_t content_length);

// Copies content into out, fills the pad with zero bytes up to the stored
// length and enciphers the whole with chain (null chain: left plain).
// out_capacity must hold the stored length; content may equal out. Returns
// the stored length, or -1 (content too long, missing buffer, small output,
// failing chain).
[[nodiscard]] int64_t endec_blob_seal(const endec_chain* chain, const uint8_t* content,
                                      size_t content_length, uint8_t* out, size_t out_capacity);

// Deciphers a stored blob (null chain: copies). stored_length must be a
// multiple of 64; out receives stored_length bytes, the content followed by
// the pad. in == out is allowed. 0 or -1.
[[nodiscard]] int endec_blob_unseal(const endec_chain* chain, const uint8_t* stored,
                                    size_t stored_length, uint8_t* out);

}  // namespace lorvex
