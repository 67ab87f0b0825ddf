// Shared plumbing of the cipher adapters: one-time libgcrypt set-up, a pool
// of keyed libgcrypt handles per context, and the bulk ECB paths. A context
// owns its pool; any thread may lease a handle, one call at a time per handle.
#pragma once

#include <gcrypt.h>

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace lorvex::endec_internal {

constexpr size_t kBlockSize = 16;

// Initialises libgcrypt once per process (version check, no secure memory,
// initialisation finished). Thread-safe. 0, or -1 when the library is unusable.
[[nodiscard]] int gcrypt_ready();

// Overwrites memory in a way the compiler may not drop.
void wipe(void* data, size_t length);

// Keyed libgcrypt handles of one algorithm and mode. libgcrypt handles carry
// per-call state (the vector), so concurrent calls each lease their own; the
// key is kept so that a handle can be opened when all cached ones are busy.
class HandlePool {
  public:
    HandlePool() = default;
    HandlePool(const HandlePool&) = delete;
    HandlePool& operator=(const HandlePool&) = delete;
    ~HandlePool();  // closes every handle (libgcrypt wipes them) and wipes the key

    // Stores the key and opens a first handle; -1 when libgcrypt refuses.
    [[nodiscard]] int init(int algorithm, int mode, const uint8_t* key, size_t key_length);

    // A handle with the key set, or null. Return it with release.
    gcry_cipher_hd_t acquire();
    void release(gcry_cipher_hd_t handle);

  private:
    static constexpr int kCached = 4;

    gcry_cipher_hd_t open_keyed() const;

    int algorithm_ = 0;
    int mode_ = 0;
    size_t key_length_ = 0;
    uint8_t key_[32] = {};
    std::mutex mutex_;
    gcry_cipher_hd_t cached_[kCached] = {};  // guarded by mutex_
    int cached_count_ = 0;                   // guarded by mutex_
};

// A handle leased for the length of one call.
class Lease {
  public:
    explicit Lease(HandlePool& pool) : pool_(pool), handle_(pool.acquire()) {}
    ~Lease() {
        if (handle_ != nullptr) pool_.release(handle_);
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    gcry_cipher_hd_t get() const { return handle_; }

  private:
    HandlePool& pool_;
    gcry_cipher_hd_t handle_;
};

// ECB over whole blocks (length a multiple of 16) on the library's bulk
// paths, byte for byte what a plain ECB handle gives:
// - decryption through CBC decryption with a zero vector, each output block
//   after the first XOR-ed with the input block before it;
// - encryption through CFB decryption with the first block as vector over
//   the input shifted by one block, XOR-ed with that shifted input, the last
//   block from one more zero block.
// in == out is allowed; other overlaps are not. cbc/cfb are handles of the
// matching mode. 0 or -1.
[[nodiscard]] int ecb_decrypt_via_cbc(gcry_cipher_hd_t cbc, const uint8_t* in, size_t length,
                                      uint8_t* out);
[[nodiscard]] int ecb_encrypt_via_cfb(gcry_cipher_hd_t cfb, const uint8_t* in, size_t length,
                                      uint8_t* out);

// CBC with a zero vector restarted for this call, over whole blocks.
[[nodiscard]] int cbc_fresh(gcry_cipher_hd_t cbc, bool encrypt, const uint8_t* in, size_t length,
                            uint8_t* out);

// True when [a, a+n) and [b, b+n) overlap without being the same range.
bool overlaps_partly(const uint8_t* a, const uint8_t* b, size_t n);

}  // namespace lorvex::endec_internal
