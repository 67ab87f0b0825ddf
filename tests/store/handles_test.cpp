// Store handles: creating, opening with the password check and closing
// databases in the registry of 32 places, damaged files, and the two
// configuration databases.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "store/tables.h"
#include "store_fixture.h"
#include "store_test_util.h"

namespace lorvex {
namespace {

using testing::kPrivateMagic;
using testing::StoreFixture;

class Handles : public StoreFixture {};

TEST_F(Handles, NewDatabaseContents) {
    std::string p = make_sealed(3, "secret", "new.db", testing::kCamelliaTwofish, 2);
    ASSERT_EQ(store_close(3), 0);
    EXPECT_EQ(testing::read_bytes(p).substr(0, 16), kPrivateMagic);

    SqlConnection c;
    c.open(p.c_str());
    int32_t v = 0;
    struct Setting {
        int32_t key;
        int32_t value;
    };
    const Setting settings[] = {{0x10000, 0x20001000},
                                {0x10002, 1},
                                {0x20100, 2},
                                {0x20200, static_cast<int32_t>(ENDEC_CAMELLIA)},
                                {0x20201, static_cast<int32_t>(ENDEC_TWOFISH)}};
    for (const Setting& s : settings) {
        ASSERT_EQ(table_setting_read(&c, s.key, &v), 1) << s.key;
        EXPECT_EQ(v, s.value) << s.key;
    }
    EXPECT_EQ(table_setting_read(&c, 0x20202, &v), 0);
    std::vector<std::string> tables;
    for (SqlCursor cur =
             c.query("select name from sqlite_master where type='table' order by rowid;");
         !cur.eof(); cur.next_row()) {
        tables.push_back(cur.column_text(0));
    }
    EXPECT_EQ(tables, (std::vector<std::string>{"d_table", "i", "m_t", "p_c", "r", "si_t", "t_t"}));
    blob_record* plain = table_blob_read(&c, kRecordTable, kKeyCheckPlain);
    blob_record* sealed = table_blob_read(&c, kRecordTable, kKeyCheckSealed);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(sealed, nullptr);
    EXPECT_EQ(plain->length, 64u);
    EXPECT_EQ(sealed->length, 64u);
    EXPECT_NE(std::memcmp(plain->data, sealed->data, 64), 0);
    for (uint32_t i = 0; i < 64; ++i) EXPECT_LT(plain->data[i], 255);
    table_blob_free(plain);
    table_blob_free(sealed);
    for (int32_t key : {kKeyClassTable, kKeyAlbumTable}) {
        blob_record* t = table_blob_read(&c, kRecordTable, key);
        ASSERT_NE(t, nullptr);
        ASSERT_EQ(t->length, 9248u);
        label_table expected;
        label_table_init(&expected);
        EXPECT_EQ(std::memcmp(t->data, &expected, sizeof expected), 0);
        const uint8_t head[16] = {0x31, 0x4b, 0x09, 0xe2, 128,  0,    0, 0,
                                  0,    0,    0,    0,    0x20, 0x24, 0, 0};
        EXPECT_EQ(std::memcmp(t->data, head, 16), 0) << "little-endian header words";
        table_blob_free(t);
    }
}

TEST_F(Handles, PlainDatabaseStoresTheCheckValueTwice) {
    std::string p = make_plain(0);
    ASSERT_EQ(store_close(0), 0);
    SqlConnection c;
    c.open(p.c_str());
    int32_t count = -1;
    ASSERT_EQ(table_setting_read(&c, kKeyCipherCount, &count), 1);
    EXPECT_EQ(count, 0);
    blob_record* a = table_blob_read(&c, kRecordTable, kKeyCheckPlain);
    blob_record* b = table_blob_read(&c, kRecordTable, kKeyCheckSealed);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(std::memcmp(a->data, b->data, 64), 0);
    table_blob_free(a);
    table_blob_free(b);
}

TEST_F(Handles, CreateArguments) {
    std::string p = path("c.db");
    const uint32_t seven[] = {ENDEC_RIJNDAEL, ENDEC_RIJNDAEL, ENDEC_RIJNDAEL, ENDEC_RIJNDAEL,
                              ENDEC_RIJNDAEL, ENDEC_RIJNDAEL, ENDEC_RIJNDAEL};
    const uint32_t unknown[] = {ENDEC_RIJNDAEL, 0x999};
    const std::string pw33(33, 'p');
    struct Case {
        const char* reason;
        const char* path;
        int32_t kind;
        const char* password;
        int32_t length;
        const uint32_t* ids;
        int32_t count;
    };
    const Case cases[] = {
        {"no path", nullptr, kStorePlain, nullptr, 0, nullptr, 0},
        {"kind 0", p.c_str(), 0, nullptr, 0, nullptr, 0},
        {"kind 3", p.c_str(), 3, nullptr, 0, nullptr, 0},
        {"enciphered without password", p.c_str(), kStoreEnciphered, nullptr, 4,
         testing::kRijndaelOnly, 1},
        {"enciphered with length 0", p.c_str(), kStoreEnciphered, "abcd", 0, testing::kRijndaelOnly,
         1},
        {"enciphered without ids", p.c_str(), kStoreEnciphered, "abcd", 4, nullptr, 1},
        {"enciphered with no cipher", p.c_str(), kStoreEnciphered, "abcd", 4,
         testing::kRijndaelOnly, 0},
        {"seven ciphers", p.c_str(), kStoreEnciphered, "abcd", 4, seven, 7},
        {"unregistered cipher id", p.c_str(), kStoreEnciphered, "abcd", 4, unknown, 2},
        {"33-byte password", p.c_str(), kStoreEnciphered, pw33.c_str(), 33, testing::kRijndaelOnly,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(store_create(c.path, 1, c.kind, c.password, c.length, c.ids, c.count, 0), -1);
        EXPECT_FALSE(store_is_open(1));
        EXPECT_NE(access(p.c_str(), F_OK), 0) << "no file is left behind";
    }
}

TEST_F(Handles, CreateOverAnExistingFileFailsAndLeavesItUnchanged) {
    dir.write("taken.db", "precious bytes");
    std::string p = path("taken.db");
    EXPECT_EQ(store_create(p.c_str(), 0, kStorePlain, nullptr, 0, nullptr, 0, 0), -1);
    EXPECT_EQ(testing::read_bytes(p), "precious bytes");
    EXPECT_FALSE(store_is_open(0));
    // A non-zero overwrite flag replaces the file with a new database.
    EXPECT_EQ(store_create(p.c_str(), 0, kStorePlain, nullptr, 0, nullptr, 0, 1), 0);
    EXPECT_EQ(store_next_item_id(0), 1);
    EXPECT_EQ(testing::read_bytes(p).substr(0, 16), kPrivateMagic);
}

TEST_F(Handles, ReopenWithPasswords) {
    const std::string pw = "abc";
    std::string p = make_sealed(2, pw, "pw.db", testing::kCamelliaTwofish, 2);
    ASSERT_EQ(store_close(2), 0);
    struct Case {
        const char* reason;
        std::string password;
        int expected;
    };
    const Case cases[] = {
        {"the password", "abc", 0},
        {"the password written twice expands to the same keys", "abcabc", 0},
        {"another password", "abd", kStoreWrongPassword},
        {"upper case", "ABC", kStoreWrongPassword},
        {"one byte", "a", kStoreWrongPassword},
        {"32 bytes", std::string(32, 'a'), kStoreWrongPassword},
        {"33 bytes cannot make a chain", std::string(33, 'a'), -1},
        {"empty password cannot make a chain", "", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(
            store_open(p.c_str(), 2, c.password.data(), static_cast<int32_t>(c.password.size())),
            c.expected);
        EXPECT_EQ(store_is_open(2), c.expected == 0);
        if (c.expected == 0) {
            ASSERT_EQ(store_close(2), 0);
        }
    }
    EXPECT_EQ(store_open(p.c_str(), 2, nullptr, 3), -1) << "a password must be given";
}

TEST_F(Handles, PlainDatabaseOpensWithAnyPassword) {
    std::string p = make_plain(4);
    ASSERT_EQ(store_close(4), 0);
    for (const std::string& pw :
         {std::string("x"), std::string("anything at all"), std::string(40, 'z'), std::string()}) {
        EXPECT_EQ(store_open(p.c_str(), 4, pw.data(), static_cast<int32_t>(pw.size())), 0) << pw;
        ASSERT_EQ(store_close(4), 0);
    }
}

TEST_F(Handles, OpenFailures) {
    const std::string pw = "pw";
    std::string plain = make_plain(0, "ok.db");
    ASSERT_EQ(store_close(0), 0);
    dir.write("garbage.db", kPrivateMagic + std::string(4080, '\x33'));
    dir.write("short.db", "QVDB_1116_Ver01");
    dir.write("text.db", "hello");
    {
        testing::PlainDb standard(path("standard.db"));
        ASSERT_EQ(standard.exec("create table r(r1 int, r2 int); insert into r values(131328, 0);"),
                  SQLITE_OK);
    }
    std::string readonly = path("readonly.db");
    std::filesystem::copy_file(plain, readonly);
    ASSERT_EQ(chmod(readonly.c_str(), 0400), 0);
    ASSERT_EQ(mkdir(path("folder.db").c_str(), 0700), 0);
    struct Case {
        const char* reason;
        std::string file;
        int expected;
    };
    std::vector<Case> cases = {
        {"missing file", path("none.db"), kStoreCannotOpen},
        {"a folder", path("folder.db"), kStoreCannotOpen},
        {"header but garbage pages", path("garbage.db"), -1},
        {"header only", path("short.db"), -1},
        {"text file", path("text.db"), -1},
        {"standard SQLite file", path("standard.db"), -1},
    };
    if (geteuid() != 0) cases.push_back({"read-only file", readonly, kStoreCannotOpen});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::string before = testing::read_bytes(c.file);
        EXPECT_EQ(store_open(c.file.c_str(), 5, pw.data(), 2), c.expected);
        EXPECT_FALSE(store_is_open(5));
        EXPECT_EQ(testing::read_bytes(c.file), before) << "nothing is written";
    }
    EXPECT_EQ(store_open(nullptr, 5, pw.data(), 2), -1);
}

// Damage done to a good database through the table layer, and the result
// store_open gives for it.
TEST_F(Handles, DamagedSettingsAndRecords) {
    struct Case {
        const char* reason;
        const char* sql;
        int expected;
    };
    const Case cases[] = {
        {"no cipher count", "delete from r where r1 = 131328;", -1},
        {"cipher count twice", "insert into r values(131328, 1);", -1},
        {"cipher count above 10,000", "update r set r2 = 10001 where r1 = 131328;", -1},
        {"negative cipher count", "update r set r2 = -1 where r1 = 131328;", -1},
        {"a cipher id missing", "delete from r where r1 = 131585;", -1},
        {"an unregistered cipher id", "update r set r2 = 7 where r1 = 131584;", -1},
        {"no plain check value", "delete from m_t where m1 = 268435457;", -1},
        {"no sealed check value", "delete from m_t where m1 = 268435458;", -1},
        {"check value of 63 bytes", "update m_t set m2 = substr(m2, 1, 63) where m1 = 268435457;",
         -1},
        {"sealed check value of 65 bytes", "update m_t set m2 = m2 || x'00' where m1 = 268435458;",
         -1},
        {"changed check value", "update m_t set m2 = zeroblob(64) where m1 = 268435457;",
         kStoreWrongPassword},
        {"fewer ciphers than were used", "update r set r2 = 1 where r1 = 131328;",
         kStoreWrongPassword},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::string p = make_sealed(6, "pw", std::string("d") + std::to_string(&c - cases) + ".db");
        ASSERT_EQ(store_close(6), 0);
        {
            SqlConnection conn;
            conn.open(p.c_str());
            conn.execute(c.sql);
        }
        EXPECT_EQ(store_open(p.c_str(), 6, "pw", 2), c.expected);
        EXPECT_FALSE(store_is_open(6));
    }
}

// A file without the key indexes gets them only once it has been opened
// with the right password; a refused open leaves the file as it was.
TEST_F(Handles, KeyIndexesAreAddedOnlyToAVerifiedDatabase) {
    std::string p = make_sealed(6, "pw", "noindex.db");
    ASSERT_EQ(store_close(6), 0);
    const char* count_sql = "select count(*) from sqlite_master where type = 'index';";
    {
        SqlConnection c;
        c.open(p.c_str());
        for (const char* index :
             {"d_table_d1", "i_i1", "m_t_m1", "p_c_pc1", "r_r1", "si_t_t1", "t_t_t1"}) {
            c.execute((std::string("drop index ") + index + ";").c_str());
        }
        ASSERT_EQ(c.scalar(count_sql), 0);
    }
    std::string before = testing::read_bytes(p);
    EXPECT_EQ(store_open(p.c_str(), 6, "wrong", 5), kStoreWrongPassword);
    EXPECT_TRUE(testing::read_bytes(p) == before) << "a refused open writes nothing";
    ASSERT_EQ(store_open(p.c_str(), 6, "pw", 2), 0);
    ASSERT_EQ(store_close(6), 0);
    SqlConnection c;
    c.open(p.c_str());
    EXPECT_EQ(c.scalar(count_sql), 7);
}

TEST_F(Handles, RegistryPlaces) {
    std::string a = make_plain(7, "a.db");
    std::string b = make_plain(8, "b.db");
    EXPECT_EQ(store_create(path("c.db").c_str(), 7, kStorePlain, nullptr, 0, nullptr, 0, 0), -1)
        << "create refuses an id that is open";
    EXPECT_NE(access(path("c.db").c_str(), F_OK), 0);

    // Opening an id that is open takes a second place; lookups use the
    // lower one, closing frees the lower one first.
    ASSERT_EQ(store_put_record(7, nullptr, 0), -1);
    std::string name = "in-a";
    blob_record rec{1, reinterpret_cast<uint8_t*>(name.data()), 4};
    ASSERT_EQ(store_put_record(7, &rec, 1), 0);
    ASSERT_EQ(store_open(b.c_str(), 7, "x", 1), 0);
    blob_record* got = store_get_record(7, 1);
    ASSERT_NE(got, nullptr) << "the lower place (a.db) answers";
    store_free_record(got);
    ASSERT_EQ(store_close(7), 0);
    EXPECT_TRUE(store_is_open(7)) << "the higher place is still found by its id";
    EXPECT_EQ(store_get_record(7, 1), nullptr) << "now b.db answers";
    ASSERT_EQ(store_close(7), 0);
    EXPECT_EQ(store_close(7), -1);
    EXPECT_TRUE(store_is_open(8));
}

TEST_F(Handles, ThirtyTwoOpenDatabasesFillTheRegistry) {
    std::string shared = make_plain(0, "shared.db");
    for (int32_t id = 1; id < 32; ++id) {
        ASSERT_EQ(store_open(shared.c_str(), id, "x", 1), 0) << id;
    }
    EXPECT_EQ(store_open(shared.c_str(), 32, "x", 1), -1);
    EXPECT_EQ(store_create(path("more.db").c_str(), 33, kStorePlain, nullptr, 0, nullptr, 0, 0),
              -1);
    EXPECT_NE(access(path("more.db").c_str(), F_OK), 0);
    ASSERT_EQ(store_close(17), 0);
    EXPECT_EQ(store_open(shared.c_str(), 32, "x", 1), 0) << "a freed place is used again";
}

TEST_F(Handles, FileDeletedWhileOpen) {
    std::string p = make_plain(9, "gone.db");
    std::string content(100, 'q');
    blob_record rec{1, reinterpret_cast<uint8_t*>(content.data()), 100};
    ASSERT_EQ(store_put_data(9, &rec, 1), 0);
    ASSERT_EQ(unlink(p.c_str()), 0);
    // The open file can still be read until it is closed; the engine
    // refuses to write into a file that no longer has a name.
    uint8_t* buffer = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(store_get_data(9, 1, &buffer, &length), 0);
    EXPECT_EQ(length, 128u);
    store_free_buffer(buffer);
    rec.key = 2;
    EXPECT_EQ(store_put_data(9, &rec, 1), -1);
    EXPECT_EQ(store_advance_item_id(9), -1);
    EXPECT_EQ(store_next_item_id(9), 1);
    EXPECT_EQ(store_close(9), 0);
    EXPECT_EQ(store_open(p.c_str(), 9, "x", 1), kStoreCannotOpen);
}

TEST_F(Handles, UnknownIdsFailEveryOperation) {
    uint8_t* buffer = nullptr;
    uint32_t length = 0;
    const uint32_t words[4] = {};
    std::string x = "x";
    blob_record rec{1, reinterpret_cast<uint8_t*>(x.data()), 1};
    item_filter f{};
    int32_t count = 5;
    EXPECT_EQ(store_close(12), -1);
    EXPECT_EQ(store_next_item_id(12), -1);
    EXPECT_EQ(store_advance_item_id(12), -1);
    EXPECT_EQ(store_put_data(12, &rec, 1), -1);
    EXPECT_EQ(store_get_data(12, 1, &buffer, &length), -1);
    EXPECT_EQ(store_delete_data(12, 1), -1);
    EXPECT_EQ(store_put_thumbnail(12, &rec, 1), -1);
    EXPECT_EQ(store_get_thumbnail(12, 1, &buffer, &length), -1);
    EXPECT_EQ(store_delete_thumbnail(12, 1), -1);
    EXPECT_EQ(store_insert_item(12, 1, words, 4, 1, 0, 0, 0, words, 4, words, 4), -1);
    EXPECT_EQ(store_delete_item(12, 1), -1);
    EXPECT_EQ(store_set_star(12, 1, 1), -1);
    EXPECT_EQ(store_set_hit(12, 1, 1), -1);
    EXPECT_EQ(store_set_classes(12, words, 4, 1), -1);
    EXPECT_EQ(store_set_albums(12, words, 4, 1), -1);
    EXPECT_EQ(store_query_range(12, 0, 10, 10, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(store_query_filter(12, &f, 10, &count), nullptr);
    EXPECT_EQ(store_put_record(12, &rec, 1), -1);
    EXPECT_EQ(store_delete_record(12, 1), -1);
    EXPECT_EQ(store_get_record(12, 1), nullptr);
    StoreTransaction txn(12);
    EXPECT_FALSE(txn.active());
    EXPECT_EQ(txn.commit(), -1);
    EXPECT_EQ(buffer, nullptr);
}

// ---- Workspace list and thumbnail cache ---------------------------------------

class ConfigDbs : public StoreFixture {
  protected:
    void TearDown() override {
        (void)workspace_close();
        (void)thumbcache_close();
        StoreFixture::TearDown();
    }
};

TEST_F(ConfigDbs, WorkspaceList) {
    std::string p = path("proj.pdb");
    EXPECT_EQ(workspace_free_index(), -1) << "closed list";
    EXPECT_EQ(workspace_get_current(), -1);
    ASSERT_EQ(workspace_open(p.c_str()), 0);
    EXPECT_EQ(testing::read_bytes(p).substr(0, 16), kPrivateMagic);
    EXPECT_EQ(workspace_capacity(), 32);
    EXPECT_EQ(workspace_get_current(), 0);
    EXPECT_EQ(workspace_free_index(), 0);
    for (int32_t n : {0, 1, 3}) {
        std::string s = "/db/" + std::to_string(n) + ".db";
        ASSERT_EQ(workspace_add_path(n, s.data(), static_cast<int32_t>(s.size())), 0);
    }
    EXPECT_EQ(workspace_free_index(), 2);
    EXPECT_EQ(workspace_add_path(1, "/other", 6), -1) << "a recorded path stays";
    char buffer[300];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_EQ(workspace_get_path(1, buffer, 300), 0);
    EXPECT_STREQ(buffer, "/db/1.db");
    EXPECT_EQ(buffer[299], '\0') << "the whole buffer is zero-filled";

    const std::string longest(260, 'L');
    ASSERT_EQ(workspace_add_path(32, longest.data(), 260), 0) << "index 32 is allowed";
    EXPECT_EQ(workspace_get_path(32, buffer, 259), -1);
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_EQ(workspace_get_path(32, buffer, 260), 0);
    EXPECT_EQ(std::string(buffer, 260), longest) << "copied without a terminator";
    EXPECT_EQ(buffer[260], 'x') << "nothing written past the buffer";

    struct Bad {
        const char* reason;
        int32_t n;
        int32_t length;
    };
    const Bad bad[] = {{"index 33", 33, 4}, {"negative index", -1, 4}, {"261 bytes", 5, 261}};
    const std::string s(300, 's');
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.reason);
        EXPECT_EQ(workspace_add_path(b.n, s.data(), b.length), -1);
    }
    EXPECT_EQ(workspace_get_path(33, buffer, 300), -1);
    EXPECT_EQ(workspace_get_path(2, buffer, 300), -1) << "no path recorded";
    EXPECT_EQ(workspace_get_path(1, nullptr, 300), -1);
    EXPECT_EQ(workspace_free_index(), 2);

    ASSERT_EQ(workspace_remove_path(1), 0);
    EXPECT_EQ(workspace_free_index(), 1);
    EXPECT_EQ(workspace_remove_path(33), -1);

    // The list survives a restart.
    ASSERT_EQ(workspace_close(), 0);
    ASSERT_EQ(workspace_open(p.c_str()), 0);
    ASSERT_EQ(workspace_get_path(3, buffer, 300), 0);
    EXPECT_STREQ(buffer, "/db/3.db");
    EXPECT_EQ(workspace_open(p.c_str()), 0) << "already open: nothing happens";
}

TEST_F(ConfigDbs, WorkspaceFreeIndexWhenFull) {
    ASSERT_EQ(workspace_open(path("proj.pdb").c_str()), 0);
    for (int32_t n = 0; n < 32; ++n) ASSERT_EQ(workspace_add_path(n, "p", 1), 0);
    EXPECT_EQ(workspace_free_index(), -1);
}

TEST_F(ConfigDbs, WorkspaceVersionMismatchKeepsTheListClosed) {
    std::string p = path("proj.pdb");
    ASSERT_EQ(workspace_open(p.c_str()), 0);
    ASSERT_EQ(workspace_add_path(0, "/a.db", 5), 0);
    ASSERT_EQ(workspace_close(), 0);
    {
        SqlConnection c;
        c.open(p.c_str());
        c.execute("update r set r2 = 268439553 where r1 = 2097137;");
    }
    std::string before = testing::read_bytes(p);
    EXPECT_EQ(workspace_open(p.c_str()), -1);
    EXPECT_EQ(workspace_free_index(), -1);
    EXPECT_EQ(workspace_add_path(1, "/b.db", 5), -1);
    EXPECT_EQ(workspace_get_current(), -1);
    EXPECT_EQ(testing::read_bytes(p), before) << "neither read nor rewritten";

    dir.write("junk.pdb", "not a database at all");
    EXPECT_EQ(workspace_open(path("junk.pdb").c_str()), -1);
}

// A list written without the key indexes (by an older program, say) whose
// version is wrong must not get them either: it is left exactly as it is.
TEST_F(ConfigDbs, WorkspaceVersionMismatchAddsNoIndexes) {
    std::string p = path("old.pdb");
    {
        SqlConnection c;
        c.open(p.c_str());
        c.execute("create table p_c(pc1 int ,pc2 blob);");
        c.execute("create table r(r1 int ,r2 int );");
        c.execute("insert into r values (2097137 ,268439553 );");
    }
    std::string before = testing::read_bytes(p);
    EXPECT_EQ(workspace_open(p.c_str()), -1);
    EXPECT_TRUE(testing::read_bytes(p) == before) << "neither read nor rewritten";
    SqlConnection c;
    c.open(p.c_str());
    EXPECT_EQ(c.scalar("select count(*) from sqlite_master where type = 'index';"), 0);
}

TEST_F(ConfigDbs, ThumbnailCache) {
    std::string p = path("dir_thumb.pdb");
    EXPECT_EQ(thumbcache_handle(), nullptr);
    ASSERT_EQ(thumbcache_open(p.c_str()), 0);
    SqlConnection* c = thumbcache_handle();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(testing::read_bytes(p).substr(0, 16), kPrivateMagic);
    std::string thumb = "JPEGDATA";
    thumb_entry e{};
    e.key[0] = 0xdeadbeefu;
    e.key[3] = 7;
    e.thumb_length = 8;
    e.file_time = 1700000000;
    e.path_length = 6;
    std::memcpy(e.path, "/a.jpg", 6);
    e.thumb = reinterpret_cast<uint8_t*>(thumb.data());
    EXPECT_EQ(thumbcache_insert(c, &e, 0), -1);
    ASSERT_EQ(thumbcache_insert(c, &e, 1), 0);
    ASSERT_EQ(thumbcache_close(), 0);
    EXPECT_EQ(thumbcache_handle(), nullptr);

    ASSERT_EQ(thumbcache_open(p.c_str()), 0);
    thumb_lookup* got = thumbcache_lookup(thumbcache_handle(), e.key);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->count, 1);
    EXPECT_EQ(got->entry.file_time, 1700000000);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(got->entry.thumb), 8), thumb);
    thumbcache_free(got);
    thumbcache_free(nullptr);
    EXPECT_EQ(thumbcache_lookup(nullptr, e.key), nullptr);
}

}  // namespace
}  // namespace lorvex
