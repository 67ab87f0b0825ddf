// Cipher chain throughput next to libgcrypt's own for the same cipher and
// mode, on a thumbnail-sized, a mid-sized and a picture-sized buffer.
//   Endec/Chain{Encrypt,Decrypt}/<cipher>/<bytes>  the chain as the store uses it
//   Endec/Plain{Encrypt,Decrypt}/<cipher>/<bytes>  one libgcrypt handle, same mode
//   Endec/EcbDecrypt{Plain,Bulk}/<cipher>/<bytes>  ECB decryption: plain handle
//                                                  vs the CBC bulk route
// "camellia+twofish" is the two-stage chain; its plain figure runs the two
// libgcrypt handles one after the other over the buffer.
#include <benchmark/benchmark.h>
#include <gcrypt.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "endec_subsys/endec.h"
#include "endec_subsys/internal/block_cipher.h"
#include "endec_subsys/twofish/twofish.h"

namespace lorvex {
namespace {

struct Stage {
    int algorithm;
    int mode;
};

struct Setup {
    const char* name;
    std::vector<uint32_t> ids;
    std::vector<Stage> plain;
};

const Setup kSetups[] = {
    {"rijndael", {ENDEC_RIJNDAEL}, {{GCRY_CIPHER_AES256, GCRY_CIPHER_MODE_CBC}}},
    {"camellia", {ENDEC_CAMELLIA}, {{GCRY_CIPHER_CAMELLIA256, GCRY_CIPHER_MODE_ECB}}},
    {"twofish", {ENDEC_TWOFISH}, {{GCRY_CIPHER_TWOFISH, GCRY_CIPHER_MODE_ECB}}},
    {"camellia+twofish",
     {ENDEC_CAMELLIA, ENDEC_TWOFISH},
     {{GCRY_CIPHER_CAMELLIA256, GCRY_CIPHER_MODE_ECB},
      {GCRY_CIPHER_TWOFISH, GCRY_CIPHER_MODE_ECB}}},
};

const int64_t kSizes[] = {8 << 10, 64 << 10, 8 << 20};

const uint8_t kPassword[] = "benchmark password";

std::vector<uint8_t> random_buffer(size_t length) {
    std::mt19937 generator(42);
    std::vector<uint8_t> out(length);
    for (uint8_t& b : out) b = static_cast<uint8_t>(generator());
    return out;
}

// The key each cipher derives from kPassword.
std::vector<uint8_t> key_for(int algorithm) {
    std::vector<uint8_t> key(32);
    if (algorithm == GCRY_CIPHER_TWOFISH) {
        if (twofish_nibble_key(kPassword, sizeof kPassword - 1, key.data()) != 0) std::abort();
    } else if (endec_expand_key(kPassword, sizeof kPassword - 1, key.data(), key.size()) != 0) {
        std::abort();
    }
    return key;
}

gcry_cipher_hd_t open_plain(int algorithm, int mode) {
    gcry_cipher_hd_t handle = nullptr;
    const std::vector<uint8_t> key = key_for(algorithm);
    if (gcry_cipher_open(&handle, algorithm, mode, 0) != 0 ||
        gcry_cipher_setkey(handle, key.data(), key.size()) != 0) {
        std::abort();
    }
    return handle;
}

void run_chain(benchmark::State& state, const Setup& setup, bool encrypt) {
    if (endec_init() != 0) std::abort();
    endec_chain* chain = nullptr;
    if (endec_chain_create(kPassword, sizeof kPassword - 1, setup.ids.data(),
                           static_cast<int32_t>(setup.ids.size()), &chain) != 0) {
        state.SkipWithError("chain creation failed");
        return;
    }
    const size_t length = static_cast<size_t>(state.range(0));
    const std::vector<uint8_t> in = random_buffer(length);
    std::vector<uint8_t> out(length);
    for (auto _ : state) {
        const int result = encrypt ? endec_chain_encrypt(chain, in.data(), length, out.data())
                                   : endec_chain_decrypt(chain, in.data(), length, out.data());
        if (result != 0) state.SkipWithError("chain failed");
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    if (endec_chain_destroy(chain) != 0) std::abort();
}

void run_plain(benchmark::State& state, const Setup& setup, bool encrypt) {
    if (endec_init() != 0) std::abort();
    std::vector<gcry_cipher_hd_t> handles;
    for (const Stage& stage : setup.plain)
        handles.push_back(open_plain(stage.algorithm, stage.mode));
    const size_t length = static_cast<size_t>(state.range(0));
    const std::vector<uint8_t> in = random_buffer(length);
    std::vector<uint8_t> out(length);
    static const uint8_t kZero[16] = {};
    for (auto _ : state) {
        // Same shape as the chain: first stage from the input, the rest in
        // place; decryption undoes the last stage first.
        bool first = true;
        for (size_t k = 0; k < handles.size(); ++k) {
            gcry_cipher_hd_t handle = handles[encrypt ? k : handles.size() - 1 - k];
            if (setup.plain[0].mode == GCRY_CIPHER_MODE_CBC) gcry_cipher_setiv(handle, kZero, 16);
            const uint8_t* source = first ? in.data() : nullptr;
            const size_t source_length = first ? length : 0;
            const gcry_error_t error =
                encrypt ? gcry_cipher_encrypt(handle, out.data(), length, source, source_length)
                        : gcry_cipher_decrypt(handle, out.data(), length, source, source_length);
            if (error != 0) state.SkipWithError("libgcrypt failed");
            first = false;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    for (gcry_cipher_hd_t handle : handles) gcry_cipher_close(handle);
}

// ECB decryption of one cipher: a plain ECB handle, or the CBC bulk route.
void run_ecb_decrypt(benchmark::State& state, int algorithm, bool bulk) {
    if (endec_init() != 0) std::abort();
    gcry_cipher_hd_t handle =
        open_plain(algorithm, bulk ? GCRY_CIPHER_MODE_CBC : GCRY_CIPHER_MODE_ECB);
    const size_t length = static_cast<size_t>(state.range(0));
    const std::vector<uint8_t> in = random_buffer(length);
    std::vector<uint8_t> out(length);
    for (auto _ : state) {
        const int result =
            bulk ? endec_internal::ecb_decrypt_via_cbc(handle, in.data(), length, out.data())
                 : (gcry_cipher_decrypt(handle, out.data(), length, in.data(), length) == 0 ? 0
                                                                                            : -1);
        if (result != 0) state.SkipWithError("decryption failed");
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    gcry_cipher_close(handle);
}

void add_sizes(benchmark::internal::Benchmark* bench) {
    for (int64_t size : kSizes) bench->Arg(size);
    bench->Unit(benchmark::kMicrosecond);
}

const bool registered = [] {
    for (const Setup& setup : kSetups) {
        for (bool encrypt : {true, false}) {
            const std::string op = encrypt ? "Encrypt/" : "Decrypt/";
            add_sizes(benchmark::RegisterBenchmark(
                ("Endec/Chain" + op + setup.name).c_str(),
                [&setup, encrypt](benchmark::State& state) { run_chain(state, setup, encrypt); }));
            add_sizes(benchmark::RegisterBenchmark(
                ("Endec/Plain" + op + setup.name).c_str(),
                [&setup, encrypt](benchmark::State& state) { run_plain(state, setup, encrypt); }));
        }
    }
    const struct {
        const char* name;
        int algorithm;
    } ecb[] = {{"camellia", GCRY_CIPHER_CAMELLIA256}, {"twofish", GCRY_CIPHER_TWOFISH}};
    for (const auto& cipher : ecb) {
        const int algorithm = cipher.algorithm;
        for (bool bulk : {false, true}) {
            add_sizes(benchmark::RegisterBenchmark(
                (std::string("Endec/EcbDecrypt") + (bulk ? "Bulk/" : "Plain/") + cipher.name)
                    .c_str(),
                [algorithm, bulk](benchmark::State& state) {
                    run_ecb_decrypt(state, algorithm, bulk);
                }));
        }
    }
    return true;
}();

}  // namespace
}  // namespace lorvex
