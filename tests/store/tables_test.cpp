// The table layer on a real file: composed statements, lookups by key with
// their duplicate-row rules, item queries and their limits, the thumbnail
// cache table, and batches that fail without leaving anything behind.

#include "store/tables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "store_test_util.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

using testing::TempDir;

class Tables : public ::testing::Test {
  protected:
    void SetUp() override {
        conn.open(dir.file("tables.db").c_str());
        ASSERT_EQ(table_blob_create(&conn, kRecordTable), 0);
        ASSERT_EQ(table_setting_create(&conn), 0);
        ASSERT_EQ(table_item_create(&conn), 0);
        ASSERT_EQ(table_thumb_create(&conn), 0);
    }

    void add_item(int32_t id, int32_t size, int32_t star, uint32_t c0 = 0, uint32_t c1 = 0,
                  uint32_t c3 = 0) {
        item_record r{};
        r.id = id;
        r.size = size;
        r.date = 1000 + id;
        r.star = star;
        r.classes[0] = c0;
        r.classes[1] = c1;
        r.classes[3] = c3;
        ASSERT_EQ(table_item_insert(&conn, &r), 0);
    }

    static std::vector<int32_t> ids(query_result* r) {
        std::vector<int32_t> out;
        if (r == nullptr) return {-1};
        for (int32_t i = 0; i < r->count; ++i) out.push_back(r->items[i].id);
        table_free_result(r);
        return out;
    }

    TempDir dir;
    SqlConnection conn;
};

TEST_F(Tables, KeyBlobReadByKey) {
    std::string a = "first", b = "second";
    blob_record rows[] = {{5, reinterpret_cast<uint8_t*>(a.data()), 5},
                          {6, reinterpret_cast<uint8_t*>(b.data()), 6}};
    ASSERT_EQ(table_blob_insert(&conn, kRecordTable, rows, 2), 0);
    EXPECT_EQ(table_blob_count(&conn, kRecordTable), 2);

    blob_record* got = table_blob_read(&conn, kRecordTable, 6);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->key, 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(got->data), got->length), "second");
    table_blob_free(got);

    EXPECT_EQ(table_blob_read(&conn, kRecordTable, 7), nullptr) << "absent key: no record at all";

    // A second row with the key replaces the first; a third fails.
    blob_record dup{5, reinterpret_cast<uint8_t*>(b.data()), 6};
    ASSERT_EQ(table_blob_insert(&conn, kRecordTable, &dup, 1), 0);
    got = table_blob_read(&conn, kRecordTable, 5);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(got->data), got->length), "second");
    table_blob_free(got);
    ASSERT_EQ(table_blob_insert(&conn, kRecordTable, &dup, 1), 0);
    EXPECT_EQ(table_blob_read(&conn, kRecordTable, 5), nullptr);

    ASSERT_EQ(table_blob_delete(&conn, kRecordTable, 5), 0);
    EXPECT_EQ(table_blob_count(&conn, kRecordTable), 1);
}

TEST_F(Tables, NullBlobReadsEmpty) {
    conn.execute("insert into m_t values(null, x'0102');");
    conn.execute("insert into m_t values(9, null);");
    // A row whose blob is NULL reads as an empty record.
    blob_record* got = table_blob_read(&conn, kRecordTable, 9);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->length, 0u);
    table_blob_free(got);
}

TEST_F(Tables, SettingReads) {
    int32_t v = -5;
    EXPECT_EQ(table_setting_read(&conn, 0x10002, &v), 0) << "missing key";
    EXPECT_EQ(v, -5);
    ASSERT_EQ(table_setting_insert(&conn, 0x10002, 1), 0);
    EXPECT_EQ(table_setting_read(&conn, 0x10002, &v), 1);
    EXPECT_EQ(v, 1);
    ASSERT_EQ(table_setting_update(&conn, 0x10002, -2147483647 - 1), 0);
    EXPECT_EQ(table_setting_read(&conn, 0x10002, &v), 1);
    EXPECT_EQ(v, INT32_MIN);
    ASSERT_EQ(table_setting_insert(&conn, 0x10002, 3), 0);
    EXPECT_EQ(table_setting_read(&conn, 0x10002, &v), -1) << "key present twice";
    EXPECT_EQ(table_setting_write(&conn, 0x10002, 4), -1) << "ambiguous key is not rewritten";
    ASSERT_EQ(table_setting_delete(&conn, 0x10002), 0);
    EXPECT_EQ(table_setting_write(&conn, 0x10002, 4), 0);
    EXPECT_EQ(table_setting_write(&conn, 0x10002, 8), 0);
    EXPECT_EQ(table_setting_read(&conn, 0x10002, &v), 1);
    EXPECT_EQ(v, 8);
    EXPECT_EQ(table_setting_read(&conn, 1, nullptr), -1);
}

TEST_F(Tables, ItemRowRoundTripsEveryWord) {
    item_record r{};
    for (int w = 0; w < kItemColumns; ++w) set_item_word(r, w, (w + 1) * 1000 - 7);
    r.classes[3] = 0x80000000u;
    ASSERT_EQ(table_item_insert(&conn, &r), 0);
    query_result* got = table_item_range(&conn, "i1", 0, 1000000, 1, 10);
    ASSERT_NE(got, nullptr);
    ASSERT_EQ(got->count, 1);
    EXPECT_EQ(std::memcmp(&got->items[0], &r, sizeof r), 0);
    table_free_result(got);
    conn.execute("insert into i(i1) values(77);");  // other columns NULL
    got = table_item_range(&conn, "i1", 77, 77, 1, 10);
    ASSERT_NE(got, nullptr);
    ASSERT_EQ(got->count, 1);
    item_record expected{};
    expected.id = 77;
    EXPECT_EQ(std::memcmp(&got->items[0], &expected, sizeof expected), 0) << "NULL reads as 0";
    table_free_result(got);
}

TEST_F(Tables, ItemUpdatesTouchOnlyTheirColumns) {
    add_item(1, 10, 0);
    add_item(2, 20, 0);
    const uint32_t words[4] = {1, 0x80000000u, 0, 7};
    ASSERT_EQ(table_item_set_star(&conn, 2, 5), 0);
    ASSERT_EQ(table_item_set_hits(&conn, 2, 9), 0);
    ASSERT_EQ(table_item_set_classes(&conn, 2, words), 0);
    ASSERT_EQ(table_item_set_albums(&conn, 2, words), 0);
    ASSERT_EQ(table_item_set_star(&conn, 99, 5), 0) << "a missing row is not an error";
    query_result* got = table_item_range(&conn, "i1", 1, 2, 1, 10);
    ASSERT_NE(got, nullptr);
    ASSERT_EQ(got->count, 2);
    EXPECT_EQ(got->items[0].star, 0);
    EXPECT_EQ(got->items[0].classes[1], 0u);
    EXPECT_EQ(got->items[1].star, 5);
    EXPECT_EQ(got->items[1].hits, 9);
    EXPECT_EQ(got->items[1].size, 20);
    EXPECT_EQ(std::memcmp(got->items[1].classes, words, 16), 0);
    EXPECT_EQ(std::memcmp(got->items[1].albums, words, 16), 0);
    table_free_result(got);
    ASSERT_EQ(table_item_delete(&conn, 1), 0);
    EXPECT_EQ(table_item_count(&conn), 1);
}

TEST_F(Tables, RangeQueryArguments) {
    for (int32_t id = 1; id <= 5; ++id) add_item(id, id * 100, id % 3);
    struct Case {
        const char* reason;
        const char* column;
        int32_t low, high, order, limit;
        std::vector<int32_t> expected;
    };
    const std::vector<Case> cases = {
        {"inclusive id bounds", "i1", 2, 4, 1, 10, {2, 3, 4}},
        {"limit cuts the tail", "i1", 0, 10, 1, 2, {1, 2}},
        {"limit 9,999 accepted", "i1", 0, 10, 1, 9999, {1, 2, 3, 4, 5}},
        {"size column", "i3", 200, 300, 1, 10, {2, 3}},
        {"star column", "i5", 2, 2, 1, 10, {2, 5}},
        {"empty range", "i1", 6, 9, 1, 10, {}},
        {"limit 10,000 refused", "i1", 0, 10, 1, 10000, {-1}},
        {"negative limit refused", "i1", 0, 10, 1, -1, {-1}},
        {"order column 24 refused", "i1", 0, 10, 24, 10, {-1}},
        {"column outside the five", "i7_1", 0, 10, 1, 10, {-1}},
        {"unknown column", "x; drop table i", 0, 10, 1, 10, {-1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(ids(table_item_range(&conn, c.column, c.low, c.high, c.order, c.limit)),
                  c.expected);
    }
    EXPECT_EQ(table_item_count(&conn), 5) << "refused queries ran nothing";
}

TEST_F(Tables, FilterQueries) {
    // Class bits: item 1 in classes 0 and 40, 2 in class 0 only, 3 in 40
    // only, 4 in class 127 (top bit of word 3), 5 in none.
    add_item(1, 100, 4, 1u, 1u << 8);
    add_item(2, 200, 5, 1u);
    add_item(3, 300, 3, 0, 1u << 8);
    add_item(4, 400, 0, 0, 0, 0x80000000u);
    add_item(5, 500, 1);
    auto filter = [] { return item_filter{}; };
    struct Case {
        const char* reason;
        item_filter f;
        int32_t limit;
        std::vector<int32_t> expected;
    };
    std::vector<Case> cases;
    cases.push_back({"no criterion: first rows in id order", filter(), 3, {1, 2, 3}});
    {
        item_filter f = filter();
        f.class_mask[0] = 1u;
        f.class_mask[1] = 1u << 8;
        f.class_enabled = 1;
        cases.push_back({"two classes: items in both", f, 100, {1}});
    }
    {
        item_filter f = filter();
        f.class_mask[3] = 0x80000000u;
        f.class_enabled = 1;
        cases.push_back({"mask word with the top bit set", f, 100, {4}});
    }
    {
        item_filter f = filter();
        f.class_enabled = 1;
        cases.push_back({"all-zero mask matches every row", f, 100, {1, 2, 3, 4, 5}});
    }
    {
        item_filter f = filter();
        f.star = {4, 5, 1};
        cases.push_back({"star 4 to 5", f, 100, {1, 2}});
    }
    {
        item_filter f = filter();
        f.star = {4, 5, 0};
        f.size = {250, 450, 1};
        cases.push_back({"disabled star, size range", f, 100, {3, 4}});
    }
    {
        item_filter f = filter();
        f.size = {0, 1000, 1};
        f.date = {1002, 1004, 1};
        f.star = {0, 3, 1};
        f.hits = {0, 0, 1};
        cases.push_back({"four ranges joined", f, 100, {3, 4}});
    }
    {
        item_filter f = filter();
        f.album_mask[0] = 1u;
        f.album_enabled = 1;
        f.class_mask[0] = 1u;
        f.class_enabled = 1;
        cases.push_back({"album mask nobody has", f, 100, {}});
    }
    {
        item_filter f = filter();
        cases.push_back({"limit 9,999 accepted", f, 9999, {1, 2, 3, 4, 5}});
        cases.push_back({"limit 10,000 refused", f, 10000, {-1}});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(ids(table_item_filter(&conn, &c.f, 1, c.limit)), c.expected);
    }
    EXPECT_EQ(table_item_filter(&conn, nullptr, 1, 10), nullptr);
}

thumb_entry make_entry(uint32_t k0, int32_t time, const std::string& path, std::string* thumb) {
    thumb_entry e{};
    e.key[0] = k0;
    e.key[1] = 0xffffffffu;
    e.key[2] = 2;
    e.key[3] = 0x80000000u;
    e.file_time = time;
    e.path_length = static_cast<int32_t>(path.size());
    std::memcpy(e.path, path.data(), path.size());
    e.thumb_length = static_cast<int32_t>(thumb->size());
    e.thumb = reinterpret_cast<uint8_t*>(thumb->data());
    return e;
}

TEST_F(Tables, ThumbnailCacheLookup) {
    std::string a = "thumb-a", b = "thumb-bb";
    thumb_entry e = make_entry(1, 50, "/pics/a.jpg", &a);
    ASSERT_EQ(table_thumb_insert(&conn, &e, 1), 0);
    thumb_lookup* got = table_thumb_lookup(&conn, e.key);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->count, 1);
    EXPECT_EQ(std::memcmp(got->entry.key, e.key, 16), 0);
    EXPECT_EQ(got->entry.file_time, 50);
    EXPECT_STREQ(got->entry.path, "/pics/a.jpg");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(got->entry.thumb), got->entry.thumb_length), a);
    table_thumb_free(got);

    uint32_t other[4] = {2, 0, 0, 0};
    got = table_thumb_lookup(&conn, other);
    ASSERT_NE(got, nullptr) << "a miss is a result with no rows";
    EXPECT_EQ(got->count, 0);
    table_thumb_free(got);

    // Two rows: the later file time is read last and wins.
    thumb_entry later = make_entry(1, 40, "/pics/b.jpg", &b);
    ASSERT_EQ(table_thumb_insert(&conn, &later, 1), 0);
    got = table_thumb_lookup(&conn, e.key);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->count, 2);
    EXPECT_EQ(got->entry.file_time, 50);
    EXPECT_STREQ(got->entry.path, "/pics/a.jpg");
    table_thumb_free(got);

    ASSERT_EQ(table_thumb_insert(&conn, &later, 1), 0);
    EXPECT_EQ(table_thumb_lookup(&conn, e.key), nullptr) << "a third row fails the lookup";
}

TEST_F(Tables, ThumbnailCacheRowWithDisagreeingLengthsIsNotReturned) {
    struct Case {
        const char* reason;
        const char* sql;
    };
    const Case cases[] = {
        {"path shorter than t5", "insert into t values(3,0,0,0,2,1,9,x'2f61',x'0102');"},
        {"path longer than t5", "insert into t values(3,0,0,0,2,1,1,x'2f61',x'0102');"},
        {"thumbnail longer than t3", "insert into t values(3,0,0,0,1,1,2,x'2f61',x'0102');"},
        {"path of 260 bytes", "insert into t values(3,0,0,0,2,1,260,zeroblob(260),x'0102');"},
    };
    uint32_t key[4] = {3, 0, 0, 0};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        conn.execute("delete from t;");
        conn.execute(c.sql);
        EXPECT_EQ(table_thumb_lookup(&conn, key), nullptr);
    }
    std::string thumb = "x";
    thumb_entry bad = make_entry(4, 1, "p", &thumb);
    bad.path_length = 260;
    EXPECT_EQ(table_thumb_insert(&conn, &bad, 1), -1) << "a 260-byte path is refused";
    EXPECT_EQ(table_thumb_insert(&conn, &bad, 0), -1);
}

TEST_F(Tables, FailingBatchRollsBackAndLeavesNoTransactionOpen) {
    conn.execute(
        "create trigger refuse before insert on m_t when new.m1 = 3 "
        "begin select raise(abort, 'refused'); end;");
    std::string bytes = "abc";
    blob_record rows[] = {{1, reinterpret_cast<uint8_t*>(bytes.data()), 3},
                          {2, reinterpret_cast<uint8_t*>(bytes.data()), 3},
                          {3, reinterpret_cast<uint8_t*>(bytes.data()), 3}};
    EXPECT_EQ(table_blob_insert(&conn, kRecordTable, rows, 3), -1);
    EXPECT_FALSE(conn.in_transaction());
    EXPECT_EQ(table_blob_count(&conn, kRecordTable), 0) << "all or nothing";

    // Inside an outer transaction the batch is a savepoint: its own rows go,
    // the outer work stays and the outer transaction is still open.
    conn.execute("begin transaction;");
    ASSERT_EQ(table_blob_insert(&conn, kRecordTable, rows, 1), 0);
    EXPECT_EQ(table_blob_insert(&conn, kRecordTable, rows + 1, 2), -1);
    EXPECT_TRUE(conn.in_transaction());
    conn.execute("commit transaction;");
    EXPECT_EQ(table_blob_count(&conn, kRecordTable), 1);
}

TEST_F(Tables, ArgumentsAreCheckedBeforeAnythingRuns) {
    std::string bytes = "abc";
    blob_record missing_data{1, nullptr, 3};
    EXPECT_EQ(table_blob_insert(&conn, kRecordTable, &missing_data, 1), -1);
    EXPECT_EQ(table_blob_insert(&conn, kRecordTable, nullptr, 1), -1);
    EXPECT_EQ(table_blob_insert(nullptr, kRecordTable, &missing_data, 1), -1);
    EXPECT_EQ(table_blob_read(nullptr, kRecordTable, 1), nullptr);
    EXPECT_EQ(table_item_insert(&conn, nullptr), -1);
    EXPECT_EQ(table_blob_count(&conn, kRecordTable), 0);
}

TEST_F(Tables, SqlFailuresBecomeNegativeResults) {
    conn.execute("drop table i;");
    item_record r{};
    r.id = 1;
    EXPECT_EQ(table_item_insert(&conn, &r), -1);
    EXPECT_EQ(table_item_count(&conn), -1);
    EXPECT_EQ(table_item_range(&conn, "i1", 0, 9, 1, 10), nullptr);
    EXPECT_EQ(table_blob_count(&conn, kDataTable), -1);
    EXPECT_EQ(table_blob_read(&conn, kDataTable, 1), nullptr);
    EXPECT_EQ(table_blob_create(&conn, kRecordTable), -1) << "already exists";
}

TEST_F(Tables, KeyIndexesExist) {
    // Created with the table; made on demand for older files.
    conn.execute("create table d_table(d1 int ,d2 blob);");
    ASSERT_EQ(table_ensure_indexes(&conn, DbKind::Private), 0);
    for (const char* index : {"m_t_m1", "r_r1", "i_i1", "t_key", "d_table_d1"}) {
        std::string sql =
            std::string("select count(*) from sqlite_master where type='index' and name='") +
            index + "';";
        EXPECT_EQ(conn.scalar(sql.c_str()), 1) << index;
    }
    EXPECT_EQ(conn.scalar("select count(*) from sqlite_master where name='t_t_t1';"), 0)
        << "tables the file lacks are passed over";
}

}  // namespace
}  // namespace lorvex
