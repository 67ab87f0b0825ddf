// Helpers shared by the cipher tests: hex parsing and chain ownership.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "endec_subsys/endec.h"

namespace lorvex::endec_test {

using Bytes = std::vector<uint8_t>;

inline Bytes from_hex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

inline std::string to_hex(const uint8_t* data, size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        out.push_back(kDigits[data[i] >> 4]);
        out.push_back(kDigits[data[i] & 15]);
    }
    return out;
}

inline Bytes bytes_of(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

inline Bytes random_bytes(size_t length, uint32_t seed) {
    std::mt19937 generator(seed);
    Bytes out(length);
    for (uint8_t& b : out) b = static_cast<uint8_t>(generator());
    return out;
}

struct ChainDeleter {
    void operator()(endec_chain* chain) const {
        if (chain != nullptr && endec_chain_destroy(chain) != 0) std::abort();
    }
};
using ChainPtr = std::unique_ptr<endec_chain, ChainDeleter>;

// A chain from password and ids, or null when creation fails.
inline ChainPtr make_chain(const Bytes& password, const std::vector<uint32_t>& ids) {
    endec_chain* chain = nullptr;
    if (endec_chain_create(password.data(), password.size(), ids.data(),
                           static_cast<int32_t>(ids.size()), &chain) != 0) {
        return nullptr;
    }
    return ChainPtr(chain);
}

inline Bytes encrypt(const endec_chain* chain, const Bytes& in) {
    Bytes out(in.size());
    if (endec_chain_encrypt(chain, in.data(), in.size(), out.data()) != 0) return {};
    return out;
}

inline Bytes decrypt(const endec_chain* chain, const Bytes& in) {
    Bytes out(in.size());
    if (endec_chain_decrypt(chain, in.data(), in.size(), out.data()) != 0) return {};
    return out;
}

}  // namespace lorvex::endec_test
