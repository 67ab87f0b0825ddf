// Items of an open database: the id counter, padded and enciphered data
// and thumbnails, rows with their attributes, queries, keyed records, and
// several operations made one transaction.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "store/tables.h"
#include "store_fixture.h"
#include "store_test_util.h"

namespace lorvex {
namespace {

using testing::StoreFixture;

constexpr uint32_t kZero[4] = {0, 0, 0, 0};

std::string pattern(size_t n, uint8_t seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed) & 0xff);
    return s;
}

blob_record record_of(int32_t key, std::string& bytes) {
    return blob_record{key, reinterpret_cast<uint8_t*>(bytes.data()),
                       static_cast<uint32_t>(bytes.size())};
}

// The store's data blob of item, as the file holds it.
std::string stored_blob(const std::string& db_path, const char* table, const char* key,
                        int32_t item) {
    SqlConnection c;
    c.open(db_path.c_str());
    std::string sql = std::string("select * from ") + table + " where " + key + " = " +
                      std::to_string(item) + ";";
    SqlCursor cur = c.query(sql.c_str());
    if (cur.eof()) return "<none>";
    int length = 0;
    const uint8_t* p = cur.blob_field(1, length);
    return std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(length));
}

std::vector<int32_t> ids_of(query_result* r, int32_t count) {
    if (r == nullptr) return {-1};
    EXPECT_EQ(r->count, count);
    std::vector<int32_t> out;
    for (int32_t i = 0; i < r->count; ++i) out.push_back(r->items[i].id);
    store_free_result(r);
    return out;
}

// Each test runs on a plain and on an enciphered database.
class Items : public StoreFixture, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        StoreFixture::SetUp();
        sealed = GetParam();
        db_path = sealed ? make_sealed(kDb, "pass word", "items.db", testing::kRijndaelOnly, 1)
                         : make_plain(kDb, "items.db");
    }

    int add_item(int32_t id, int32_t star = 0, const uint32_t* classes = kZero) {
        return store_insert_item(kDb, id, kZero, 4, 1000 + id, 1600000000 + id, star, 0, classes, 4,
                                 kZero, 4);
    }

    static constexpr int32_t kDb = 11;
    bool sealed = false;
    std::string db_path;
};

TEST_P(Items, DataIsReadBackPaddedToSixtyFourBytes) {
    struct Case {
        size_t length;
        uint32_t stored;
    };
    const Case cases[] = {{1, 64},    {63, 64},   {64, 64},  {65, 128},
                          {100, 128}, {128, 128}, {129, 192}};
    int32_t id = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        std::string content = pattern(c.length, static_cast<uint8_t>(id));
        blob_record rec = record_of(id, content);
        ASSERT_EQ(store_put_data(kDb, &rec, 1), 0);
        ASSERT_EQ(store_put_thumbnail(kDb, &rec, 1), 0);
        for (auto get : {store_get_data, store_get_thumbnail}) {
            uint8_t* buffer = nullptr;
            uint32_t length = 0;
            ASSERT_EQ(get(kDb, id, &buffer, &length), 0);
            EXPECT_EQ(length, c.stored);
            EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), c.length), content);
            store_free_buffer(buffer);
        }
        ++id;
    }
    store_free_buffer(nullptr);
}

TEST_P(Items, StoredBlobIsThePaddedContentOnlyWithoutCiphers) {
    std::string content = pattern(100, 9);
    blob_record rec = record_of(1, content);
    ASSERT_EQ(store_put_data(kDb, &rec, 1), 0);
    ASSERT_EQ(store_close(kDb), 0);
    std::string stored = stored_blob(db_path, "d_table", "d1", 1);
    ASSERT_EQ(stored.size(), 128u);
    if (sealed) {
        EXPECT_EQ(stored.find(content.substr(0, 32)), std::string::npos);
    } else {
        EXPECT_EQ(stored, content + std::string(28, '\0'));
    }
}

TEST_P(Items, EmptyBlobIsStoredButCannotBeRead) {
    blob_record rec{4, nullptr, 0};
    ASSERT_EQ(store_put_data(kDb, &rec, 1), 0);
    uint8_t* buffer = nullptr;
    uint32_t length = 7;
    EXPECT_EQ(store_get_data(kDb, 4, &buffer, &length), -1);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(store_get_data(kDb, 5, &buffer, &length), -1) << "no row";
    EXPECT_EQ(store_get_data(kDb, 4, nullptr, &length), -1);
}

TEST_P(Items, SixtyFourMebibytesAreAcceptedAndOneByteMoreIsRefused) {
    std::string big(67108864 + 1, '\x42');
    blob_record too_big{1, reinterpret_cast<uint8_t*>(big.data()), 67108865};
    std::string small = "s";
    blob_record pair[] = {record_of(2, small), too_big};
    EXPECT_EQ(store_put_data(kDb, &too_big, 1), -1);
    EXPECT_EQ(store_put_thumbnail(kDb, pair, 2), -1);
    EXPECT_EQ(store_put_data(kDb, pair, 2), -1);
    uint8_t* buffer = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(store_get_data(kDb, 2, &buffer, &length), -1) << "refused before anything is written";

    blob_record largest{1, reinterpret_cast<uint8_t*>(big.data()), 67108864};
    ASSERT_EQ(store_put_data(kDb, &largest, 1), 0);
    ASSERT_EQ(store_get_data(kDb, 1, &buffer, &length), 0);
    EXPECT_EQ(length, 67108864u);
    EXPECT_EQ(std::memcmp(buffer, big.data(), 67108864), 0);
    store_free_buffer(buffer);
}

TEST_P(Items, IdsAreNeverReused) {
    EXPECT_EQ(store_next_item_id(kDb), 1);
    for (int i = 0; i < 5; ++i) {
        int32_t id = store_next_item_id(kDb);
        ASSERT_EQ(add_item(id), 0);
        ASSERT_EQ(store_advance_item_id(kDb), 0);
    }
    ASSERT_EQ(store_delete_item(kDb, 3), 0);
    EXPECT_EQ(store_next_item_id(kDb), 6);
    int32_t count = -1;
    EXPECT_EQ(ids_of(store_query_range(kDb, 0, 6, 100, &count), 4),
              (std::vector<int32_t>{1, 2, 4, 5}));
    EXPECT_EQ(count, 4);
    EXPECT_EQ(ids_of(store_query_range(kDb, 2, 4, 100, nullptr), 2), (std::vector<int32_t>{2, 4}));
    EXPECT_EQ(ids_of(store_query_range(kDb, 0, 6, 2, nullptr), 2), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(store_query_range(kDb, 0, 6, 10000, &count), nullptr);
    EXPECT_EQ(count, 0);
    query_result* ok = store_query_range(kDb, 0, 6, 9999, &count);
    EXPECT_NE(ok, nullptr);
    store_free_result(ok);
    store_free_result(nullptr);
}

// Item ids are positive: a counter that is missing, or that cannot give a
// positive id, fails both calls.
TEST_P(Items, CounterMissingOrOutOfRangeFails) {
    struct Case {
        const char* reason;
        const char* sql;
    };
    const Case cases[] = {
        {"missing", "delete from r where r1 = 65538;"},
        {"zero", "update r set r2 = 0 where r1 = 65538;"},
        {"negative", "update r set r2 = -7 where r1 = 65538;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        ASSERT_EQ(store_close(kDb), 0);
        {
            SqlConnection conn;
            conn.open(db_path.c_str());
            conn.execute("delete from r where r1 = 65538;");
            conn.execute("insert into r values (65538 ,1 );");
            conn.execute(c.sql);
        }
        ASSERT_EQ(store_open(db_path.c_str(), kDb, "pass word", 9), 0);
        EXPECT_EQ(store_next_item_id(kDb), -1);
        EXPECT_EQ(store_advance_item_id(kDb), -1);
    }
}

TEST_P(Items, RowAttributes) {
    uint32_t classes[4] = {};
    membership_set(classes, 0, true);
    membership_set(classes, 40, true);
    const uint32_t kept[4] = {0x11111111u, 0x80000000u, 3, 4};
    const uint32_t albums[4] = {0, 0, 0, 0x80000000u};
    ASSERT_EQ(store_insert_item(kDb, 1, kept, 4, 12345, -5, 2, 7, classes, 4, albums, 4), 0);
    query_result* r = store_query_range(kDb, 1, 1, 10, nullptr);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->count, 1);
    const item_record& row = r->items[0];
    EXPECT_EQ(item_word(row, 0), 1);
    EXPECT_EQ(std::memcmp(row.kept, kept, 16), 0);
    EXPECT_EQ(row.size, 12345);
    EXPECT_EQ(row.date, -5);
    EXPECT_EQ(row.star, 2);
    EXPECT_EQ(row.hits, 7);
    EXPECT_EQ(item_word(row, 9), 1) << "class 0";
    EXPECT_EQ(item_word(row, 10), 256) << "class 40";
    EXPECT_EQ(row.albums[3], 0x80000000u);
    for (int w = 17; w < 24; ++w) EXPECT_EQ(item_word(row, w), 0) << w;
    store_free_result(r);
}

TEST_P(Items, InsertArguments) {
    struct Case {
        const char* reason;
        int32_t size;
        int32_t kept_count, class_count, album_count;
    };
    const Case cases[] = {{"size 0", 0, 4, 4, 4},
                          {"kept count 3", 1, 3, 4, 4},
                          {"class count 5", 1, 4, 5, 4},
                          {"album count 0", 1, 4, 4, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(store_insert_item(kDb, 1, kZero, c.kept_count, c.size, 0, 0, 0, kZero,
                                    c.class_count, kZero, c.album_count),
                  -1);
    }
    EXPECT_EQ(store_insert_item(kDb, 1, nullptr, 4, 1, 0, 0, 0, kZero, 4, kZero, 4), -1);
    EXPECT_EQ(ids_of(store_query_range(kDb, 0, 100, 100, nullptr), 0), std::vector<int32_t>{});
}

TEST_P(Items, UpdatesChangeOnlyTheirColumns) {
    ASSERT_EQ(add_item(1), 0);
    ASSERT_EQ(add_item(2), 0);
    const uint32_t words[4] = {5, 0, 0x80000001u, 0};
    EXPECT_EQ(store_set_star(kDb, 4, 2), 0);
    EXPECT_EQ(store_set_hit(kDb, 12, 2), 0);
    EXPECT_EQ(store_set_classes(kDb, words, 4, 2), 0);
    EXPECT_EQ(store_set_albums(kDb, words, 4, 1), 0);
    EXPECT_EQ(store_set_star(kDb, 5, 99), 0) << "missing row: success, nothing changes";
    EXPECT_EQ(store_set_star(kDb, 5, 0), -1) << "item id 0";
    EXPECT_EQ(store_set_hit(kDb, 5, 0), -1);
    EXPECT_EQ(store_set_classes(kDb, words, 3, 2), -1);
    EXPECT_EQ(store_set_albums(kDb, nullptr, 4, 2), -1);
    query_result* r = store_query_range(kDb, 0, 100, 100, nullptr);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->count, 2);
    EXPECT_EQ(r->items[0].star, 0);
    EXPECT_EQ(r->items[0].hits, 0);
    EXPECT_EQ(std::memcmp(r->items[0].classes, kZero, 16), 0);
    EXPECT_EQ(std::memcmp(r->items[0].albums, words, 16), 0);
    EXPECT_EQ(r->items[1].star, 4);
    EXPECT_EQ(r->items[1].hits, 12);
    EXPECT_EQ(std::memcmp(r->items[1].classes, words, 16), 0);
    EXPECT_EQ(std::memcmp(r->items[1].albums, kZero, 16), 0);
    EXPECT_EQ(r->items[1].size, 1002);
    store_free_result(r);
}

TEST_P(Items, FilterByClassesAndStars) {
    uint32_t both[4] = {}, zero_only[4] = {}, forty_only[4] = {};
    membership_set(both, 0, true);
    membership_set(both, 40, true);
    membership_set(zero_only, 0, true);
    membership_set(forty_only, 40, true);
    ASSERT_EQ(add_item(1, 5, both), 0);
    ASSERT_EQ(add_item(2, 4, zero_only), 0);
    ASSERT_EQ(add_item(3, 3, forty_only), 0);
    ASSERT_EQ(add_item(4, 0, both), 0);

    item_filter classes{};
    membership_set(classes.class_mask, 0, true);
    membership_set(classes.class_mask, 40, true);
    classes.class_enabled = 1;
    item_filter stars{};
    stars.star = {4, 5, 1};
    item_filter none{};
    // A longer record beginning with the filter is read the same.
    struct Longer {
        item_filter f;
        uint8_t tail[40];
    } longer{};
    longer.f = stars;
    std::memset(longer.tail, 0xff, sizeof longer.tail);

    int32_t count = -1;
    EXPECT_EQ(ids_of(store_query_filter(kDb, &classes, 100, &count), 2),
              (std::vector<int32_t>{1, 4}));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(ids_of(store_query_filter(kDb, &stars, 100, nullptr), 2),
              (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(ids_of(store_query_filter(kDb, &longer.f, 100, nullptr), 2),
              (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(ids_of(store_query_filter(kDb, &none, 100, nullptr), 4),
              (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(store_query_filter(kDb, &none, 10000, &count), nullptr);
    EXPECT_EQ(store_query_filter(kDb, nullptr, 10, &count), nullptr);
}

TEST_P(Items, KeyedRecords) {
    std::string name(260, '\0');
    std::memcpy(name.data(), "IMG_0001.JPG", 12);
    label_table labels;
    label_table_init(&labels);
    labels.used = 1;
    labels.entries[3].id = 3 | kLabelIdBase;
    std::memcpy(labels.entries[3].name, "Holiday", 7);
    labels.entries[3].checksum = name_checksum("Holiday");
    blob_record recs[] = {
        record_of(1, name),
        {kKeyClassTable + 100, reinterpret_cast<uint8_t*>(&labels), sizeof labels}};
    ASSERT_EQ(store_put_record(kDb, recs, 2), 0);
    blob_record* got = store_get_record(kDb, 1);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->key, 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(got->data), got->length), name)
        << "records are stored plain, unpadded";
    store_free_record(got);
    got = store_get_record(kDb, kKeyClassTable + 100);
    ASSERT_NE(got, nullptr);
    ASSERT_EQ(got->length, sizeof(label_table));
    EXPECT_EQ(std::memcmp(got->data, &labels, sizeof labels), 0);
    store_free_record(got);
    EXPECT_EQ(name_checksum("Holiday"), (72 + 111 + 108 + 105 + 100 + 97 + 121) | (7 << 16));
    EXPECT_EQ(name_checksum(nullptr), -1);

    ASSERT_EQ(store_delete_record(kDb, 1), 0);
    EXPECT_EQ(store_get_record(kDb, 1), nullptr);
    store_free_record(nullptr);
    ASSERT_EQ(store_close(kDb), 0);
    EXPECT_EQ(stored_blob(db_path, "m_t", "m1", kKeyClassTable + 100),
              std::string(reinterpret_cast<char*>(&labels), sizeof labels));
}

TEST_P(Items, TransactionCommitsOrRollsBackEveryPiece) {
    std::string content = pattern(300, 1);
    std::string name = "a.jpg";
    auto add_all = [&](int32_t id) {
        blob_record data = record_of(id, content);
        blob_record rec = record_of(id, name);
        return store_put_data(kDb, &data, 1) == 0 && store_put_thumbnail(kDb, &data, 1) == 0 &&
               add_item(id) == 0 && store_put_record(kDb, &rec, 1) == 0 &&
               store_advance_item_id(kDb) == 0;
    };
    {
        StoreTransaction txn(kDb);
        ASSERT_TRUE(txn.active());
        ASSERT_TRUE(add_all(1));
        EXPECT_EQ(txn.commit(), 0);
        EXPECT_FALSE(txn.active());
    }
    {
        StoreTransaction txn(kDb);
        ASSERT_TRUE(txn.active());
        ASSERT_TRUE(add_all(2));
        // Destroyed without a commit.
    }
    {
        StoreTransaction txn(kDb);
        ASSERT_TRUE(add_all(3));
        txn.rollback();
        EXPECT_EQ(txn.commit(), -1);
    }
    {
        // A failed piece inside leaves the rest of the transaction usable.
        StoreTransaction txn(kDb);
        std::string big(67108865, 'b');
        blob_record bad{4, reinterpret_cast<uint8_t*>(big.data()), 67108865};
        EXPECT_EQ(store_put_data(kDb, &bad, 1), -1);
        ASSERT_TRUE(add_all(4));
        StoreTransaction nested(kDb);
        EXPECT_TRUE(nested.active());
        EXPECT_EQ(nested.commit(), 0);
        EXPECT_EQ(txn.commit(), 0);
    }
    EXPECT_EQ(store_next_item_id(kDb), 3);
    EXPECT_EQ(ids_of(store_query_range(kDb, 0, 10, 100, nullptr), 2), (std::vector<int32_t>{1, 4}));
    for (int32_t id : {2, 3}) {
        uint8_t* buffer = nullptr;
        uint32_t length = 0;
        EXPECT_EQ(store_get_data(kDb, id, &buffer, &length), -1) << id;
        EXPECT_EQ(store_get_thumbnail(kDb, id, &buffer, &length), -1) << id;
        EXPECT_EQ(store_get_record(kDb, id), nullptr) << id;
    }
}

INSTANTIATE_TEST_SUITE_P(PlainAndSealed, Items, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Sealed") : std::string("Plain");
                         });

}  // namespace
}  // namespace lorvex
