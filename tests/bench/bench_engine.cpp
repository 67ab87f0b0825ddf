// The engine's in-memory work on full databases.
//   Engine/OpenDatabase5000      MSG_DB_OPEN of a database of 5,000 items: table
//                                records, the range query, the index, the order
//   Engine/RebuildOrder32x5000/<key>  engine_rebuild_order over 32 open slots of
//                                5,000 items each, by size (2) and by name (1;
//                                names come from the cache after the first run)
// One database file of 5,000 items (with name records) is made once and
// opened under as many slots as a scenario needs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "hub/message_hub.h"
#include "store/store.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

constexpr int32_t kItems = 5000;

// The file is built on first use and lives until the program ends.
const std::string& database_file() {
    static testing::TempDir dir;
    static const std::string path = [] {
        store_init();
        const std::string file = dir.file("bench.db");
        if (store_create(file.c_str(), 0, kStorePlain, nullptr, 0, nullptr, 0, 0) != 0) {
            return std::string();
        }
        {
            StoreTransaction txn(0);
            const uint32_t zero[4] = {};
            for (int32_t id = 1; id <= kItems; ++id) {
                // Sizes and names in an order unlike the ids.
                const int32_t size = 1 + (id * 7919) % 100000;
                (void)store_insert_item(0, id, zero, 4, size, 1600000000 + id, id % 6, id % 13,
                                        zero, 4, zero, 4);
                char name[kNameRecordSize] = {};
                std::snprintf(name, sizeof(name), "img_%05d.jpg", (id * 4099) % kItems);
                blob_record record{id, reinterpret_cast<uint8_t*>(name), kNameRecordSize};
                (void)store_put_record(0, &record, 1);
                (void)store_advance_item_id(0);
            }
            (void)txn.commit();
        }
        (void)store_close(0);
        return file;
    }();
    return path;
}

bool open_slots(int32_t count) {
    const std::string& file = database_file();
    if (file.empty()) return false;
    for (int32_t slot = 0; slot < count; ++slot) {
        if (store_open(file.c_str(), slot, "x", 1) != 0) return false;
    }
    return true;
}

void close_slots(int32_t count) {
    for (int32_t slot = 0; slot < count; ++slot) (void)store_close(slot);
}

void OpenDatabase5000(benchmark::State& state) {
    if (!open_slots(1)) {
        state.SkipWithError("could not make the database");
        return;
    }
    MessageHub hub;
    db_engine engine(&hub);
    slot_request request{0};
    for (auto _ : state) {
        hub.Send(MSG_DB_OPEN, &request);
        benchmark::DoNotOptimize(engine.engine_order_count());
        state.PauseTiming();
        hub.Send(MSG_DB_CLOSE, &request);
        state.ResumeTiming();
    }
    close_slots(1);
    state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(OpenDatabase5000)->Name("Engine/OpenDatabase5000")->Unit(benchmark::kMillisecond);

void RebuildOrder32x5000(benchmark::State& state) {
    if (!open_slots(kEngineSlots)) {
        state.SkipWithError("could not open 32 databases");
        close_slots(kEngineSlots);
        return;
    }
    MessageHub hub;
    db_engine engine(&hub);
    for (int32_t slot = 0; slot < kEngineSlots; ++slot) {
        slot_request request{slot};
        hub.Send(MSG_DB_OPEN, &request);
    }
    engine.engine_set_sort_key(static_cast<int32_t>(state.range(0)));
    if (engine.engine_order_count() != kEngineSlots * kItems) {
        state.SkipWithError("not every item was loaded");
    }
    for (auto _ : state) {
        engine.engine_rebuild_order();
        benchmark::DoNotOptimize(engine.engine_order_count());
    }
    state.SetItemsProcessed(state.iterations() * kEngineSlots * kItems);
    close_slots(kEngineSlots);
}
BENCHMARK(RebuildOrder32x5000)
    ->Name("Engine/RebuildOrder32x5000")
    ->Arg(SORT_SIZE)
    ->Arg(SORT_NAME)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lorvex
