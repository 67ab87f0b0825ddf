// The file format seen from outside the store: a database written with the
// plain SQLite API (standard header, then the private header patched in)
// opens in the store, and a store-written file with SQLite's header patched
// back reads with the plain API.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "store_fixture.h"
#include "store_test_util.h"

namespace lorvex {
namespace {

using testing::PlainDb;
using testing::StoreFixture;

constexpr char kPassword[] = "tulip";
constexpr int32_t kPasswordLength = 5;

endec_chain* make_chain() {
    endec_chain* chain = nullptr;
    EXPECT_EQ(endec_chain_create(reinterpret_cast<const uint8_t*>(kPassword), kPasswordLength,
                                 testing::kCamelliaTwofish, 2, &chain),
              0);
    return chain;
}

std::string seal(const endec_chain* chain, const std::string& content) {
    std::string out((content.size() + 63) / 64 * 64, '\0');
    EXPECT_EQ(endec_blob_seal(chain, reinterpret_cast<const uint8_t*>(content.data()),
                              content.size(), reinterpret_cast<uint8_t*>(out.data()), out.size()),
              static_cast<int64_t>(out.size()));
    return out;
}

std::string unseal(const endec_chain* chain, const std::string& stored) {
    std::string out(stored.size(), '\0');
    EXPECT_EQ(endec_blob_unseal(chain, reinterpret_cast<const uint8_t*>(stored.data()),
                                stored.size(), reinterpret_cast<uint8_t*>(out.data())),
              0);
    return out;
}

class Interop : public StoreFixture {};

TEST_F(Interop, FileWrittenByPlainSqliteOpensInTheStore) {
    ASSERT_EQ(endec_init(), 0);
    endec_chain* chain = make_chain();
    ASSERT_NE(chain, nullptr);
    std::string p = path("outside.db");
    const std::string content = std::string("picture bytes \x01\x02\x03") + std::string(53, 'p');
    const std::string thumb(150, 't');
    {
        PlainDb db(p);
        ASSERT_EQ(db.exec("create table d_table(d1 int ,d2 blob);"
                          "create table i(i1 int, i2_1 int, i2_2 int, i2_3 int, i2_4 int, i3 int,"
                          " i4 int, i5 int, i6 int, i7_1 int, i7_2 int, i7_3 int, i7_4 int,"
                          " i8_1 int, i8_2 int, i8_3 int, i8_4 int, i9 int, ia int, ib int,"
                          " ic int, id int, ie int, if int);"
                          "create table m_t(m1 int ,m2 blob);"
                          "create table p_c(pc1 int ,pc2 blob);"
                          "create table r(r1 int ,r2 int );"
                          "create table si_t(t1 int ,t2 blob);"
                          "create table t_t(t1 int ,t2 blob);"
                          "insert into r values(65536, 536875008);"
                          "insert into r values(65538, 2);"
                          "insert into r values(131328, 2);"
                          "insert into r values(131584, 65538);"
                          "insert into r values(131585, 131075);"
                          "insert into i values(1, 0,0,0,0, 70, 1700000000, 3, 9,"
                          " 1, 256, 0, -2147483648, 0,0,0,0, 0,0,0,0,0,0,0);"),
                  SQLITE_OK);
        std::string check(64, '\0');
        for (int k = 0; k < 64; ++k) check[k] = static_cast<char>(k * 3);
        std::string sealed_check(64, '\0');
        ASSERT_EQ(endec_chain_encrypt(chain, reinterpret_cast<const uint8_t*>(check.data()), 64,
                                      reinterpret_cast<uint8_t*>(sealed_check.data())),
                  0);
        ASSERT_EQ(db.insert_blob("insert into m_t values(?,?);", 0x10000001, check), SQLITE_OK);
        ASSERT_EQ(db.insert_blob("insert into m_t values(?,?);", 0x10000002, sealed_check),
                  SQLITE_OK);
        std::string name(260, '\0');
        std::memcpy(name.data(), "tulip.jpg", 9);
        ASSERT_EQ(db.insert_blob("insert into m_t values(?,?);", 1, name), SQLITE_OK);
        ASSERT_EQ(db.insert_blob("insert into d_table values(?,?);", 1, seal(chain, content)),
                  SQLITE_OK);
        ASSERT_EQ(db.insert_blob("insert into t_t values(?,?);", 1, seal(chain, thumb)), SQLITE_OK);
    }
    ASSERT_EQ(endec_chain_destroy(chain), 0);
    testing::patch_bytes(p, 0, testing::kPrivateMagic);

    EXPECT_EQ(store_open(p.c_str(), 3, "wrong", 5), kStoreWrongPassword);
    ASSERT_EQ(store_open(p.c_str(), 3, kPassword, kPasswordLength), 0);
    EXPECT_EQ(store_next_item_id(3), 2);
    uint8_t* buffer = nullptr;
    uint32_t length = 0;
    ASSERT_EQ(store_get_data(3, 1, &buffer, &length), 0);
    EXPECT_EQ(length, 128u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), content.size()), content);
    store_free_buffer(buffer);
    ASSERT_EQ(store_get_thumbnail(3, 1, &buffer, &length), 0);
    EXPECT_EQ(length, 192u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), thumb.size()), thumb);
    store_free_buffer(buffer);
    query_result* r = store_query_range(3, 0, 10, 10, nullptr);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->count, 1);
    EXPECT_EQ(r->items[0].size, 70);
    EXPECT_EQ(r->items[0].date, 1700000000);
    EXPECT_EQ(r->items[0].star, 3);
    EXPECT_EQ(r->items[0].hits, 9);
    EXPECT_EQ(r->items[0].classes[1], 256u);
    EXPECT_EQ(r->items[0].classes[3], 0x80000000u);
    store_free_result(r);
    blob_record* name = store_get_record(3, 1);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(reinterpret_cast<char*>(name->data), "tulip.jpg");
    store_free_record(name);
    ASSERT_EQ(store_close(3), 0);
    EXPECT_EQ(testing::read_bytes(p).substr(0, 16), testing::kPrivateMagic);
}

TEST_F(Interop, StoreWrittenFileReadsWithPlainSqlite) {
    std::string p = make_sealed(4, kPassword, "inside.db", testing::kCamelliaTwofish, 2);
    const std::string content = "made by the store: a little picture data.";
    blob_record rec{1, reinterpret_cast<uint8_t*>(const_cast<char*>(content.data())),
                    static_cast<uint32_t>(content.size())};
    ASSERT_EQ(store_put_data(4, &rec, 1), 0);
    const uint32_t classes[4] = {0, 0, 0, 0x80000000u};
    const uint32_t zero[4] = {};
    ASSERT_EQ(store_insert_item(4, 1, zero, 4, static_cast<int32_t>(content.size()), 1234, 5, 0,
                                classes, 4, zero, 4),
              0);
    ASSERT_EQ(store_advance_item_id(4), 0);
    ASSERT_EQ(store_close(4), 0);

    testing::patch_bytes(p, 0, testing::kSqliteMagic);
    PlainDb db(p);
    EXPECT_EQ(db.scalar("pragma integrity_check;"), 0) << "'ok' reads as 0";
    EXPECT_EQ(db.scalar("select r2 from r where r1 = 65538;"), 2);
    EXPECT_EQ(db.scalar("select r2 from r where r1 = 131328;"), 2);
    EXPECT_EQ(db.scalar("select r2 from r where r1 = 131584;"), ENDEC_CAMELLIA);
    EXPECT_EQ(db.scalar("select r2 from r where r1 = 131585;"), ENDEC_TWOFISH);
    EXPECT_EQ(db.scalar("select i7_4 from i where i1 = 1;"), INT32_MIN);
    EXPECT_EQ(db.scalar("select i5 from i where i1 = 1;"), 5);
    EXPECT_EQ(db.scalar("select length(m2) from m_t where m1 = 268435459;"), 9248);

    endec_chain* chain = make_chain();
    ASSERT_NE(chain, nullptr);
    std::string stored = db.blob("select d2 from d_table where d1 = 1;");
    ASSERT_EQ(stored.size(), 64u);
    EXPECT_EQ(unseal(chain, stored), content + std::string(64 - content.size(), '\0'));
    std::string check = db.blob("select m2 from m_t where m1 = 268435457;");
    std::string sealed_check = db.blob("select m2 from m_t where m1 = 268435458;");
    ASSERT_EQ(check.size(), 64u);
    EXPECT_EQ(unseal(chain, sealed_check), check);
    ASSERT_EQ(endec_chain_destroy(chain), 0);
}

}  // namespace
}  // namespace lorvex
