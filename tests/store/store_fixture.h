// A fixture for store-level tests: the registry initialised, a temporary
// folder, and every database closed again afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "endec_subsys/endec.h"
#include "store/store.h"
#include "support/temp_dir.h"

namespace lorvex::testing {

inline const uint32_t kRijndaelOnly[] = {ENDEC_RIJNDAEL};
inline const uint32_t kCamelliaTwofish[] = {ENDEC_CAMELLIA, ENDEC_TWOFISH};

class StoreFixture : public ::testing::Test {
  protected:
    void SetUp() override { store_init(); }
    void TearDown() override {
        for (int32_t id = -1; id < 40; ++id) {
            while (store_close(id) == 0) {
            }
        }
    }

    std::string path(const std::string& name) const { return dir.file(name); }

    // A plain database kept open under id.
    std::string make_plain(int32_t id, const std::string& name = "plain.db") {
        std::string p = path(name);
        EXPECT_EQ(store_create(p.c_str(), id, kStorePlain, nullptr, 0, nullptr, 0, 0), 0);
        return p;
    }

    // An enciphered database kept open under id.
    std::string make_sealed(int32_t id, const std::string& password,
                            const std::string& name = "sealed.db",
                            const uint32_t* ids = kCamelliaTwofish, int32_t count = 2) {
        std::string p = path(name);
        EXPECT_EQ(store_create(p.c_str(), id, kStoreEnciphered, password.data(),
                               static_cast<int32_t>(password.size()), ids, count, 0),
                  0);
        return p;
    }

    TempDir dir;
};

}  // namespace lorvex::testing
