// Test helpers for the engine: private databases made with the store in a
// temporary folder, and a hub receiver that records what the engine
// broadcasts and answers the selection query.
#pragma once

// Items are written with designated initializers that name only what a test
// cares about; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/labels.h"
#include "hub/message_hub.h"
#include "store/store.h"
#include "support/temp_dir.h"

namespace lorvex::testing {

// One broadcast as a receiver saw it.
struct Seen {
    uint32_t code = 0;
    int32_t kind = 0;
    std::vector<std::string> classes;
    std::vector<int32_t> class_checksums;
    std::vector<std::string> albums;
    int32_t order_count = -1;  // the engine's order count while it was delivered
    std::shared_ptr<item_info_notice> info;
};

class Recorder : public MessageReceiver {
  public:
    db_engine* engine = nullptr;
    std::vector<Seen> seen;
    std::vector<int32_t> selection;  // answer to MSG_SELECTION_QUERY

    void OnMessage(uint32_t code, void* record) override;
    std::vector<Seen> of(uint32_t code) const;
};

// Items as the tests describe them.
struct TestItem {
    int32_t id = 0;
    int32_t size = 1;
    int32_t date = 0;
    std::vector<int> classes;
    std::vector<int> albums;
    std::string name;  // stored as the item's name record when not empty
    int32_t star = 0;
    int32_t hits = 0;
};

// Makes unencrypted databases under the test's temporary folder.
class TestDbs {
  public:
    TestDbs();
    ~TestDbs();

    // Creates the database of slot with the given items (ids must rise) and
    // class and album names at positions 0, 1, ...; the next-id counter ends
    // one above the highest id.
    void create(int32_t slot, const std::vector<TestItem>& items,
                const std::vector<std::string>& classes = {},
                const std::vector<std::string>& albums = {});
    // Replaces a table record with raw bytes; an empty string deletes it.
    void put_raw_record(int32_t slot, int32_t key, const std::string& bytes, bool present = true);
    static label_table make_table(const std::vector<std::string>& names);

    // Rows as the store holds them now.
    std::vector<item_record> rows(int32_t slot) const;
    label_table stored_table(int32_t slot, int32_t key) const;

    const TempDir& dir() const { return dir_; }

  private:
    TempDir dir_;
    std::vector<int32_t> open_;
};

// A fresh hub with a recorder in slot 0 and the engine in slot 1.
class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(hub.Register(&recorder), 0);
        engine = std::make_unique<db_engine>(&hub);
        recorder.engine = engine.get();
    }
    void TearDown() override {
        recorder.engine = nullptr;
        engine.reset();
    }
    void open(int32_t slot) {
        slot_request request{slot};
        hub.Send(MSG_DB_OPEN, &request);
    }
    void close(int32_t slot) {
        slot_request request{slot};
        hub.Send(MSG_DB_CLOSE, &request);
    }

    TestDbs dbs;
    MessageHub hub;
    Recorder recorder;
    std::unique_ptr<db_engine> engine;
};

std::vector<int32_t> order_ids(const db_engine& engine);
std::vector<std::pair<int32_t, int32_t>> order_pairs(const db_engine& engine);

}  // namespace lorvex::testing
