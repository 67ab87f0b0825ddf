// The SQL access layer over the header VFS: what lands on disk, which files
// the engine refuses, and the layer's own errors.

#include "store/sql.h"

#include <gtest/gtest.h>

#include <string>

#include "store_test_util.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

using testing::kPrivateMagic;
using testing::kSqliteMagic;
using testing::PlainDb;
using testing::TempDir;

// Expects fn to throw CppSQLite3Exception with exactly code and message.
template <typename Fn>
void expect_throw(Fn&& fn, int code, const std::string& message) {
    try {
        fn();
        ADD_FAILURE() << "no exception, expected " << message;
    } catch (const CppSQLite3Exception& e) {
        EXPECT_EQ(e.code(), code);
        EXPECT_EQ(std::string(e.message()), message);
    }
}

TEST(SqlFile, NewFileCarriesThePrivateHeader) {
    TempDir dir;
    std::string path = dir.file("new.db");
    {
        SqlConnection c;
        c.open(path.c_str());
        c.execute("create table x(a int);");
        c.execute("insert into x values(7);");
    }
    std::string bytes = testing::read_bytes(path);
    ASSERT_GE(bytes.size(), 100u);
    EXPECT_EQ(bytes.substr(0, 16), kPrivateMagic);
    // Everything after the string is the engine's own header: page size 4096
    // big-endian at offset 16, format bytes 1 at 18 and 19.
    EXPECT_EQ(static_cast<unsigned char>(bytes[16]) * 256 + static_cast<unsigned char>(bytes[17]),
              4096);
    EXPECT_EQ(bytes[18], 1);
    EXPECT_EQ(bytes[19], 1);
    EXPECT_TRUE(store_is_database_file(path.c_str()));

    SqlConnection again;
    again.open(path.c_str());
    EXPECT_EQ(again.scalar("select a from x;"), 7);
}

TEST(SqlFile, ForeignFilesFailAtTheFirstStatementWith26) {
    struct Case {
        const char* reason;
        std::string content;  // empty: made by plain SQLite
    };
    const Case cases[] = {
        {"standard SQLite file", ""},
        {"text file", std::string(5000, 'x')},
        {"private magic with a non-zero 16th byte", "QVDB_1116_Ver01X" + std::string(4080, '\0')},
        {"private header, garbage pages", kPrivateMagic + std::string(8176, '\x5a')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        TempDir dir;
        std::string path = dir.file("foreign.db");
        if (c.content.empty()) {
            PlainDb plain(path);
            ASSERT_EQ(plain.exec("create table x(a int); insert into x values(1);"), SQLITE_OK);
        } else {
            testing::write_bytes(path, c.content);
        }
        std::string before = testing::read_bytes(path);
        SqlConnection conn;
        conn.open(path.c_str());  // opening succeeds; reading does not
        int code = 0;
        std::string message;
        try {
            (void)conn.scalar("select count(*) from sqlite_master;");
        } catch (const CppSQLite3Exception& e) {
            code = e.code();
            message = e.message();
        }
        if (std::string(c.reason) == "private header, garbage pages") {
            // The header is accepted; the damaged page is then refused.
            EXPECT_NE(code, 0);
        } else {
            EXPECT_EQ(code, 26);
            EXPECT_EQ(message, "UNKNOWN_ERROR[26]: file is encrypted or is not a database");
        }
        expect_throw([&] { conn.execute("create table y(b int);"); }, code,
                     message.empty() ? "?" : message);
        conn.close();
        EXPECT_EQ(testing::read_bytes(path), before) << "a refused file must stay unchanged";
    }
}

TEST(SqlFile, StandardFileStaysReadableByPlainSqliteAfterARefusal) {
    TempDir dir;
    std::string path = dir.file("plain.db");
    {
        PlainDb plain(path);
        ASSERT_EQ(plain.exec("create table x(a int); insert into x values(3);"), SQLITE_OK);
    }
    {
        SqlConnection c;
        c.open(path.c_str());
        EXPECT_THROW((void)c.scalar("select a from x;"), CppSQLite3Exception);
    }
    PlainDb plain(path);
    EXPECT_EQ(plain.scalar("select a from x;"), 3);
    EXPECT_EQ(testing::read_bytes(path).substr(0, 16), kSqliteMagic);
}

TEST(SqlFile, Recogniser) {
    struct Case {
        const char* reason;
        std::string content;
        bool expected;
    };
    const Case cases[] = {
        {"the 15 magic bytes alone", "QVDB_1116_Ver01", true},
        {"magic then a non-zero 16th byte", "QVDB_1116_Ver01Z and more", true},
        {"14 bytes", "QVDB_1116_Ver0", false},
        {"empty file", "", false},
        {"standard SQLite header", kSqliteMagic + "rest", false},
        {"case differs", "qvdb_1116_Ver01", false},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        dir.write("f.db", c.content);
        EXPECT_EQ(store_is_database_file(dir.file("f.db").c_str()), c.expected);
    }
    EXPECT_FALSE(store_is_database_file(dir.file("missing.db").c_str()));
    EXPECT_FALSE(store_is_database_file(nullptr));
}

TEST(SqlFile, TruncatedDatabaseIsRefusedWithoutCrashing) {
    TempDir dir;
    std::string path = dir.file("t.db");
    {
        SqlConnection c;
        c.open(path.c_str());
        c.execute("create table x(a int, b blob);");
        c.execute("begin transaction;");
        for (int i = 0; i < 50; ++i) c.execute("insert into x values(1, zeroblob(2000));");
        c.execute("commit transaction;");
    }
    std::string bytes = testing::read_bytes(path);
    testing::write_bytes(path, bytes.substr(0, bytes.size() / 3));
    SqlConnection c;
    c.open(path.c_str());
    EXPECT_THROW(
        {
            SqlCursor cur = c.query("select * from x;");
            while (!cur.eof()) cur.next_row();
        },
        CppSQLite3Exception);
}

// A crash in the middle of a transaction leaves pages in the file and a hot
// journal beside it; the next open rolls page 1 back from the journal
// (which holds the engine's own header string) and the file must come out
// with the private header and its old contents.
TEST(SqlFile, HotJournalRollbackRestoresThePrivateHeader) {
    TempDir dir;
    std::string path = dir.file("crash.db");
    std::string copy = dir.file("copy.db");
    SqlConnection c;
    c.open(path.c_str());
    c.execute("create table x(a int, b blob);");
    c.execute("insert into x values(1, zeroblob(100));");
    c.execute("pragma cache_size = 1;");  // spill pages into the file before commit
    c.execute("begin transaction;");
    for (int i = 0; i < 200; ++i) c.execute("insert into x values(2, zeroblob(3000));");
    std::string journal = testing::read_bytes(path + "-journal");
    ASSERT_NE(journal.find(kSqliteMagic), std::string::npos) << "page 1 is in the journal";
    std::string mid = testing::read_bytes(path);
    ASSERT_GT(mid.size(), 100000u) << "pages reached the file";
    testing::write_bytes(copy, mid);
    testing::write_bytes(copy + "-journal", journal);
    c.execute("rollback transaction;");

    SqlConnection recovered;
    recovered.open(copy.c_str());
    EXPECT_EQ(recovered.scalar("select count(*) from x;"), 1);
    EXPECT_EQ(recovered.scalar("pragma integrity_check;"), 0) << "'ok' reads as 0";
    recovered.close();
    EXPECT_EQ(testing::read_bytes(copy).substr(0, 16), kPrivateMagic);
    EXPECT_TRUE(testing::read_bytes(copy + "-journal").empty()) << "journal was played back";
}

TEST(SqlException, MessageIsNameCodeAndDetail) {
    struct Case {
        int code;
        const char* detail;
        const char* expected;
    };
    const Case cases[] = {
        {0, "x", "SQLITE_OK[0]: x"},
        {5, "database is locked", "SQLITE_BUSY[5]: database is locked"},
        {25, "", "SQLITE_RANGE[25]: "},
        {26, "file is encrypted or is not a database",
         "UNKNOWN_ERROR[26]: file is encrypted or is not a database"},
        {100, "r", "SQLITE_ROW[100]: r"},
        {101, "d", "SQLITE_DONE[101]: d"},
        {1000, "Invalid scalar query", "CPPSQLITE_ERROR[1000]: Invalid scalar query"},
        {-7, nullptr, "UNKNOWN_ERROR[-7]: "},
    };
    for (const Case& c : cases) {
        CppSQLite3Exception e(c.code, c.detail);
        EXPECT_EQ(e.code(), c.code);
        EXPECT_STREQ(e.message(), c.expected);
    }
    const char* names[] = {
        "SQLITE_OK",       "SQLITE_ERROR",     "SQLITE_INTERNAL", "SQLITE_PERM",
        "SQLITE_ABORT",    "SQLITE_BUSY",      "SQLITE_LOCKED",   "SQLITE_NOMEM",
        "SQLITE_READONLY", "SQLITE_INTERRUPT", "SQLITE_IOERR",    "SQLITE_CORRUPT",
        "SQLITE_NOTFOUND", "SQLITE_FULL",      "SQLITE_CANTOPEN", "SQLITE_PROTOCOL",
        "SQLITE_EMPTY",    "SQLITE_SCHEMA",    "SQLITE_TOOBIG",   "SQLITE_CONSTRAINT",
        "SQLITE_MISMATCH", "SQLITE_MISUSE",    "SQLITE_NOLFS",    "SQLITE_AUTH",
        "SQLITE_FORMAT",   "SQLITE_RANGE"};
    for (int code = 0; code <= 25; ++code) EXPECT_STREQ(sql_code_name(code), names[code]);
}

class SqlLayer : public ::testing::Test {
  protected:
    void SetUp() override {
        conn.open(dir.file("layer.db").c_str());
        conn.execute("create table x(a int, b blob);");
    }
    TempDir dir;
    SqlConnection conn;
};

TEST_F(SqlLayer, ScalarQueries) {
    EXPECT_EQ(conn.scalar("select count(*) from x;"), 0);
    conn.execute("insert into x values(-2147483648, null);");
    EXPECT_EQ(conn.scalar("select a from x;"), INT32_MIN);
    expect_throw([&] { (void)conn.scalar("select a from x where a = 5;"); }, 1000,
                 "CPPSQLITE_ERROR[1000]: Invalid scalar query");
}

TEST_F(SqlLayer, ExecuteReportsChangedRowsAndEngineErrors) {
    EXPECT_EQ(conn.execute("insert into x values(1, null);"), 1);
    conn.execute("insert into x values(2, null);");
    EXPECT_EQ(conn.execute("update x set a = 9;"), 2);
    expect_throw([&] { conn.execute("insert into nowhere values(1);"); }, 1,
                 "SQLITE_ERROR[1]: no such table: nowhere");
    expect_throw([&] { (void)conn.query("select * from nowhere;"); }, 1,
                 "SQLITE_ERROR[1]: no such table: nowhere");
}

TEST_F(SqlLayer, FieldsOfACursor) {
    conn.execute("insert into x values(null, null);");
    SqlStatement st = conn.prepare("insert into x values(?, ?);");
    const uint8_t bytes[] = {1, 2, 0, 3};
    st.bind(1, 42);
    st.bind(2, bytes, 4);
    EXPECT_EQ(st.execute(), 1);
    st.bind(1, 43);  // reusable after execute
    EXPECT_EQ(st.execute(), 1);
    st.finalize();

    SqlCursor cur = conn.query("select a, b from x order by rowid;");
    ASSERT_FALSE(cur.eof());
    EXPECT_EQ(cur.columns(), 2);
    EXPECT_EQ(cur.int_field(0, 21930), 21930) << "NULL gives the caller's value";
    EXPECT_EQ(cur.int_field(0), 0);
    EXPECT_EQ(cur.column_text(0), nullptr);
    cur.next_row();
    EXPECT_EQ(cur.int_field(0, 21930), 42);
    int length = 0;
    const uint8_t* b = cur.blob_field(1, length);
    ASSERT_EQ(length, 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b), 4), std::string("\1\2\0\3", 4));
    EXPECT_STREQ(cur.column_text(0), "42");
    for (int bad : {-1, 2}) {
        expect_throw([&] { (void)cur.int_field(bad); }, 1000,
                     "CPPSQLITE_ERROR[1000]: Invalid field index requested");
        expect_throw([&] { (void)cur.blob_field(bad, length); }, 1000,
                     "CPPSQLITE_ERROR[1000]: Invalid field index requested");
        expect_throw([&] { (void)cur.column_text(bad); }, 1000,
                     "CPPSQLITE_ERROR[1000]: Invalid field index requested");
    }
    cur.next_row();
    cur.next_row();
    EXPECT_TRUE(cur.eof());
}

TEST_F(SqlLayer, CopyingACursorHandsTheStatementOver) {
    conn.execute("insert into x values(5, null);");
    SqlCursor source = conn.query("select a from x;");
    SqlCursor copy(source);
    EXPECT_EQ(copy.int_field(0), 5);
    const std::string gone = "CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer";
    expect_throw([&] { (void)source.int_field(0); }, 1000, gone);
    expect_throw([&] { (void)source.eof(); }, 1000, gone);
    expect_throw([&] { source.next_row(); }, 1000, gone);

    SqlCursor assigned;
    assigned = copy;
    EXPECT_EQ(assigned.int_field(0), 5);
    expect_throw([&] { (void)copy.int_field(0); }, 1000, gone);
    assigned.finalize();
    expect_throw([&] { (void)assigned.eof(); }, 1000, gone);
}

TEST_F(SqlLayer, StatementErrors) {
    SqlStatement st = conn.prepare("insert into x values(?, ?);");
    expect_throw([&] { st.bind(3, 1); }, 25, "SQLITE_RANGE[25]: Error binding int param");
    const uint8_t b = 0;
    expect_throw([&] { st.bind(0, &b, 1); }, 25, "SQLITE_RANGE[25]: Error binding blob param");
    st.finalize();
    expect_throw([&] { (void)st.execute(); }, 1000,
                 "CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer");
    SqlStatement none;
    expect_throw([&] { (void)none.execute(); }, 1000, "CPPSQLITE_ERROR[1000]: Database not open");
}

TEST_F(SqlLayer, ClosedConnection) {
    conn.close();
    conn.close();  // twice does nothing
    const std::string msg = "CPPSQLITE_ERROR[1000]: Database not open";
    expect_throw([&] { (void)conn.execute("select 1;"); }, 1000, msg);
    expect_throw([&] { (void)conn.query("select 1;"); }, 1000, msg);
    expect_throw([&] { (void)conn.scalar("select 1;"); }, 1000, msg);
    expect_throw([&] { (void)conn.prepare("select 1;"); }, 1000, msg);
}

TEST(SqlConnectionOpen, UnopenablePathThrowsTheEngineCode) {
    TempDir dir;
    SqlConnection c;
    std::string path = dir.file("no/such/folder/x.db");
    try {
        c.open(path.c_str());
        ADD_FAILURE() << "opened a file in a missing folder";
    } catch (const CppSQLite3Exception& e) {
        EXPECT_EQ(e.code(), 14);
        EXPECT_EQ(std::string(e.message()).rfind("SQLITE_CANTOPEN[14]: ", 0), 0u);
    }
    EXPECT_FALSE(c.is_open());
}

}  // namespace
}  // namespace lorvex
