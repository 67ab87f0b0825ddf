// Reading one thumbnail by item id from a private database of 100 and of
// 5,000 items (the most the engine loads), beside the floor: a bare sqlite3
// select on the same kind of table through a prepared statement that is
// reused. With the key indexes the store's figure should barely depend on
// the item count.
//   Store/GetThumbnail/{plain,rijndael}/<items>  store_get_thumbnail + free
//   Store/RawIndexedSelect/<items>                sqlite3 prepared select, floor
//   Store/RawSelectNoIndex/<items>                the same without the index (a scan)
//   Store/QueryRange/<items>                      all rows of the item table
// Databases are built once per run in a temporary folder.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <map>
#include <string>
#include <utility>

#include "endec_subsys/endec.h"
#include "store/store.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

constexpr size_t kThumbBytes = 4000;  // a typical 100 x 75 JPEG thumbnail

const testing::TempDir& bench_dir() {
    static const testing::TempDir* dir = new testing::TempDir();
    return *dir;
}

// Fills an open database with items 1..count: row, data and thumbnail.
void fill(int32_t db, int32_t count) {
    std::string bytes(kThumbBytes, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    const uint32_t zero[4] = {};
    StoreTransaction txn(db);
    for (int32_t id = 1; id <= count; ++id) {
        blob_record rec{id, reinterpret_cast<uint8_t*>(bytes.data()),
                        static_cast<uint32_t>(bytes.size())};
        if (store_put_thumbnail(db, &rec, 1) != 0 || store_put_data(db, &rec, 1) != 0 ||
            store_insert_item(db, id, zero, 4, 4000, 0, 0, 0, zero, 4, zero, 4) != 0) {
            return;
        }
    }
    (void)txn.commit();
}

// A database id per (items, cipher), built and opened on first use.
int32_t database(int32_t items, bool sealed) {
    static std::map<std::pair<int32_t, bool>, int32_t> ids;
    auto key = std::make_pair(items, sealed);
    auto it = ids.find(key);
    if (it != ids.end()) return it->second;
    store_init();
    int32_t id = static_cast<int32_t>(ids.size());
    std::string path =
        bench_dir().file("bench_" + std::to_string(items) + (sealed ? "s" : "p") + ".db");
    const uint32_t cipher[] = {ENDEC_RIJNDAEL};
    if (store_create(path.c_str(), id, sealed ? kStoreEnciphered : kStorePlain, "bench", 5,
                     sealed ? cipher : nullptr, sealed ? 1 : 0, 0) != 0) {
        return -1;
    }
    fill(id, items);
    ids[key] = id;
    return id;
}

void get_thumbnail(benchmark::State& state, bool sealed) {
    const int32_t items = static_cast<int32_t>(state.range(0));
    const int32_t db = database(items, sealed);
    if (db < 0) {
        state.SkipWithError("cannot build the database");
        return;
    }
    int32_t id = 1;
    for (auto _ : state) {
        uint8_t* buffer = nullptr;
        uint32_t length = 0;
        if (store_get_thumbnail(db, id, &buffer, &length) != 0) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(buffer);
        store_free_buffer(buffer);
        id = (id + 36) % items + 1;  // hop through the table
    }
}

void BM_GetThumbnailPlain(benchmark::State& state) {
    get_thumbnail(state, false);
}
void BM_GetThumbnailRijndael(benchmark::State& state) {
    get_thumbnail(state, true);
}
BENCHMARK(BM_GetThumbnailPlain)->Name("Store/GetThumbnail/plain")->Arg(100)->Arg(5000);
BENCHMARK(BM_GetThumbnailRijndael)->Name("Store/GetThumbnail/rijndael")->Arg(100)->Arg(5000);

// Builds a standard SQLite file with the same table for the floor.
sqlite3* raw_database(int32_t items, bool indexed) {
    std::string path =
        bench_dir().file("raw_" + std::to_string(items) + (indexed ? "i" : "n") + ".db");
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return nullptr;
    sqlite3_exec(db, "create table t_t(t1 int ,t2 blob);", nullptr, nullptr, nullptr);
    if (indexed) sqlite3_exec(db, "create index t_t_t1 on t_t(t1);", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "begin;", nullptr, nullptr, nullptr);
    std::string bytes(kThumbBytes, 'x');
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "insert into t_t values(?,?);", -1, &ins, nullptr);
    for (int32_t id = 1; id <= items; ++id) {
        sqlite3_bind_int(ins, 1, id);
        sqlite3_bind_blob(ins, 2, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(db, "commit;", nullptr, nullptr, nullptr);
    return db;
}

void raw_select(benchmark::State& state, bool indexed) {
    const int32_t items = static_cast<int32_t>(state.range(0));
    sqlite3* db = raw_database(items, indexed);
    sqlite3_stmt* sel = nullptr;
    if (db == nullptr ||
        sqlite3_prepare_v2(db, "select * from t_t where t1 = ?;", -1, &sel, nullptr) != SQLITE_OK) {
        state.SkipWithError("cannot build the database");
        sqlite3_close(db);
        return;
    }
    int32_t id = 1;
    for (auto _ : state) {
        sqlite3_bind_int(sel, 1, id);
        if (sqlite3_step(sel) != SQLITE_ROW) {
            state.SkipWithError("row missing");
            break;
        }
        benchmark::DoNotOptimize(sqlite3_column_blob(sel, 1));
        sqlite3_reset(sel);
        id = (id + 36) % items + 1;
    }
    sqlite3_finalize(sel);
    sqlite3_close(db);
}

void BM_RawIndexedSelect(benchmark::State& state) {
    raw_select(state, true);
}
void BM_RawScanSelect(benchmark::State& state) {
    raw_select(state, false);
}
BENCHMARK(BM_RawIndexedSelect)->Name("Store/RawIndexedSelect")->Arg(100)->Arg(5000);
BENCHMARK(BM_RawScanSelect)->Name("Store/RawSelectNoIndex")->Arg(100)->Arg(5000);

void BM_QueryRange(benchmark::State& state) {
    const int32_t items = static_cast<int32_t>(state.range(0));
    const int32_t db = database(items, false);
    for (auto _ : state) {
        int32_t count = 0;
        query_result* r = store_query_range(db, 0, items, 9999, &count);
        if (r == nullptr || count != items) {
            state.SkipWithError("query failed");
            store_free_result(r);
            break;
        }
        store_free_result(r);
    }
}
BENCHMARK(BM_QueryRange)->Name("Store/QueryRange")->Arg(100)->Arg(5000);

}  // namespace
}  // namespace lorvex
