// lorvex-db run as a user runs it: a child process with arguments, the
// password in the environment or on standard input, results on its output
// and its exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "demo_pictures.h"
#include "store/store.h"
#include "support/temp_dir.h"
#include "tool_runner.h"

namespace lorvex::testing {
namespace {

constexpr const char* kPassword = "correct horse 42";

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    return parts;
}

std::vector<std::string> lines(const std::string& text) {
    return split(text, '\n');
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

#define EXPECT_EXIT_STATUS(result, expected)                              \
    EXPECT_EQ((result).status, (expected)) << "stdout:\n"                 \
                                           << (result).out << "stderr:\n" \
                                           << (result).err

class ToolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        pictures_ = dir_.file("pictures");
        std::filesystem::create_directories(pictures_);
        std::string error;
        ASSERT_EQ(tools::write_demo_pictures(pictures_, &error), 0) << error;
        for (const tools::DemoPicture& p : tools::demo_picture_list()) names_.push_back(p.name);
    }

    // A database holding the dozen pictures, ids 1 to 12 in name order.
    std::string filled_database(const std::string& name, bool encrypted) {
        const std::string db = dir_.file(name);
        ToolResult r =
            encrypted ? run_with_env({"create", db, "--cipher", "rijndael", "--cipher", "twofish"},
                                     kPassword)
                      : run_with_input({"create", db}, "");
        EXPECT_EXIT_STATUS(r, 0);
        r = run_with_env({"add", db, pictures_}, kPassword);
        EXPECT_EXIT_STATUS(r, 0);
        EXPECT_EQ(lines(r.out).size(), names_.size());
        return db;
    }

    std::string picture(const std::string& name) const { return pictures_ + "/" + name; }

    TempDir dir_;
    std::string pictures_;
    std::vector<std::string> names_;
};

TEST_F(ToolTest, HelpDescribesTheToolAndEveryCommand) {
    ToolResult r = run_with_input({"--help"}, "");
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_TRUE(contains(r.out, "Usage: lorvex-db COMMAND DB"));
    EXPECT_TRUE(contains(r.out, "LORVEX_PASSWORD"));
    for (const char* verb : {"create", "info", "add", "list", "export", "delete", "rate", "class",
                             "album", "verify"}) {
        r = run_with_input({verb, "--help"}, "");
        EXPECT_EXIT_STATUS(r, 0);
        EXPECT_TRUE(contains(r.out, std::string("Usage: lorvex-db ") + verb)) << verb;
    }
    r = run_with_input({}, "");
    EXPECT_EXIT_STATUS(r, 2);
    EXPECT_TRUE(contains(r.err, "no command given"));
}

TEST_F(ToolTest, PlainDatabaseNeedsNoPasswordAndKeepsEverything) {
    const std::string db = dir_.file("plain.db");
    ToolResult r = run_with_input({"create", db}, "");
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_EQ(read_file(db).substr(0, 16), std::string("QVDB_1116_Ver01\0", 16));

    r = run_with_input({"add", db, pictures_}, "");
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_TRUE(r.err.empty()) << "no progress line when not on a terminal: " << r.err;
    std::vector<std::string> added = lines(r.out);
    ASSERT_EQ(added.size(), names_.size());
    EXPECT_EQ(added[0], "1\t" + picture(names_[0]));

    EXPECT_EXIT_STATUS(run_with_input({"rate", db, "4", "2", "3"}, ""), 0);
    EXPECT_EXIT_STATUS(run_with_input({"class", db, "add", "Warm", "1", "3"}, ""), 0);
    EXPECT_EXIT_STATUS(run_with_input({"album", db, "add", "Trip", "3"}, ""), 0);

    r = run_with_input({"list", db}, "");
    EXPECT_EXIT_STATUS(r, 0);
    std::vector<std::string> rows = lines(r.out);
    ASSERT_EQ(rows.size(), names_.size());
    const std::regex iso(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)");
    for (size_t k = 0; k < rows.size(); ++k) {
        std::vector<std::string> f = split(rows[k], '\t');
        f.resize(8);
        EXPECT_EQ(f[0], std::to_string(k + 1));
        EXPECT_EQ(f[1], std::to_string(std::filesystem::file_size(picture(names_[k]))));
        EXPECT_TRUE(std::regex_match(f[2], iso)) << f[2];
        EXPECT_EQ(f[3], k == 1 || k == 2 ? "4" : "0");
        EXPECT_EQ(f[4], "0");
        EXPECT_EQ(f[5], names_[k]);
        EXPECT_EQ(f[6], k == 0 || k == 2 ? "Warm" : "");
        EXPECT_EQ(f[7], k == 2 ? "Trip" : "");
    }

    r = run_with_input({"info", db}, "");
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_TRUE(contains(r.out, "ciphers:\tnone (plain)"));
    EXPECT_TRUE(contains(r.out, "items:\t12\n"));
    EXPECT_TRUE(contains(r.out, "next id:\t13\n"));
    EXPECT_TRUE(contains(r.out, "classes:\t1\n  Warm\t2\n"));
    EXPECT_TRUE(contains(r.out, "albums:\t1\n  Trip\t1\n"));

    r = run_with_input({"verify", db}, "");
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_TRUE(contains(r.out, "12 items checked, 0 problems"));

    EXPECT_EXIT_STATUS(run_with_input({"delete", db, "5", "12"}, ""), 0);
    r = run_with_input({"info", db}, "");
    EXPECT_TRUE(contains(r.out, "items:\t10\n"));
    EXPECT_TRUE(contains(r.out, "next id:\t13\n")) << "ids are never reused";
    r = run_with_input({"list", db}, "");
    EXPECT_FALSE(contains(r.out, "\t" + names_[4] + "\t"));
    EXPECT_EXIT_STATUS(run_with_input({"verify", db}, ""), 0);
}

TEST_F(ToolTest, EncryptedDatabaseTakesThePasswordFromEnvironmentOrInput) {
    const std::string db = dir_.file("secret.db");
    ToolResult r = run_with_input({"create", db, "--cipher", "camellia", "--cipher", "twofish"},
                                  std::string(kPassword) + "\n");
    EXPECT_EXIT_STATUS(r, 0);
    r = run_with_env({"add", db, pictures_}, kPassword);
    EXPECT_EXIT_STATUS(r, 0);

    r = run_with_input({"info", db}, std::string(kPassword) + "\n");
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_TRUE(contains(r.out, "ciphers:\tcamellia, twofish\n"));
    EXPECT_TRUE(contains(r.out, "items:\t12\n"));

    // The pictures are stored enciphered: no picture's bytes appear in the file.
    const std::string stored = read_file(db);
    const std::string jpeg = read_file(picture("harbour.jpg"));
    EXPECT_FALSE(contains(stored, jpeg.substr(200, 64)));

    r = run_with_env({"verify", db}, kPassword);
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_TRUE(contains(r.out, "12 items checked, 0 problems"));
}

TEST_F(ToolTest, ExportedFilesEqualTheAddedOnesByteForByte) {
    for (bool encrypted : {false, true}) {
        SCOPED_TRACE(encrypted ? "encrypted" : "plain");
        const std::string db = filled_database(encrypted ? "e.db" : "p.db", encrypted);
        const std::string out = dir_.file(encrypted ? "out-e" : "out-p");
        std::filesystem::create_directories(out);
        ToolResult r = run_with_env({"export", db, out}, kPassword);
        EXPECT_EXIT_STATUS(r, 0);
        for (const std::string& name : names_) {
            EXPECT_EQ(read_file(out + "/" + name), read_file(picture(name))) << name;
        }
    }
}

TEST_F(ToolTest, ExportPoliciesRenameOrSkipExistingNames) {
    const std::string db = filled_database("p.db", false);
    const std::string out = dir_.file("out");
    std::filesystem::create_directories(out);
    dir_.write("out/comet.gif", "not the picture");

    ToolResult r = run_with_input({"export", db, out, "--ids", "1-2"}, "");
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_EQ(read_file(out + "/comet.gif"), "not the picture") << "never overwritten";
    EXPECT_EQ(read_file(out + "/comet_0000.gif"), read_file(picture("comet.gif")));
    EXPECT_EQ(read_file(out + "/dunes.bmp"), read_file(picture("dunes.bmp")));

    r = run_with_input({"export", db, out, "--ids", "1,2"}, "");
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_TRUE(std::filesystem::exists(out + "/comet_0001.gif"));
    EXPECT_TRUE(std::filesystem::exists(out + "/dunes_0000.bmp"));

    const auto before = std::distance(std::filesystem::directory_iterator(out),
                                      std::filesystem::directory_iterator());
    r = run_with_input({"export", db, out, "--ids", "1,2", "--policy", "skip"}, "");
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_TRUE(contains(r.err, "skipped item 1: comet.gif exists"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out),
                            std::filesystem::directory_iterator()),
              before);
}

TEST_F(ToolTest, ClassesAndAlbumsAreJoinedByNameAndRemovedFromEveryItem) {
    const std::string db = filled_database("p.db", false);
    ToolResult r = run_with_input({"class", db, "add", "Family", "1", "2"}, "");
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_EQ(r.out, "created class Family\n");
    r = run_with_input({"class", db, "add", "Family", "3"}, "");
    EXPECT_EQ(r.out, "") << "joining an existing class creates nothing";
    EXPECT_EXIT_STATUS(run_with_input({"class", db, "add", "Fam", "4"}, ""), 0);
    EXPECT_EXIT_STATUS(run_with_input({"album", db, "add", "Family", "5"}, ""), 0);
    r = run_with_input({"info", db}, "");
    EXPECT_TRUE(contains(r.out, "classes:\t2\n  Family\t3\n  Fam\t1\n")) << r.out;

    EXPECT_EXIT_STATUS(run_with_input({"class", db, "remove", "Fam"}, ""), 0);
    r = run_with_input({"info", db}, "");
    EXPECT_TRUE(contains(r.out, "classes:\t1\n  Family\t3\n")) << "Fam only: " << r.out;
    EXPECT_TRUE(contains(r.out, "albums:\t1\n  Family\t1\n")) << "albums are apart";
    EXPECT_EXIT_STATUS(run_with_input({"class", db, "remove", "Family"}, ""), 0);
    r = run_with_input({"list", db}, "");
    for (const std::string& row : lines(r.out)) {
        std::vector<std::string> f = split(row, '\t');
        f.resize(8);
        EXPECT_EQ(f[6], "") << row;
    }
}

TEST_F(ToolTest, VerifyNamesEveryDamagedItem) {
    const std::string db = filled_database("e.db", true);
    // Damage the file behind the tool's back, through the store.
    store_init();
    ASSERT_EQ(store_open(db.c_str(), 7, kPassword, static_cast<int32_t>(strlen(kPassword))), 0);
    EXPECT_EQ(store_delete_thumbnail(7, 2), 0);
    EXPECT_EQ(store_delete_data(7, 3), 0);
    EXPECT_EQ(store_delete_data(7, 4), 0);
    EXPECT_EQ(store_delete_data(7, 6), 0);
    std::vector<uint8_t> garbage(200000);
    for (size_t k = 0; k < garbage.size(); ++k) garbage[k] = static_cast<uint8_t>(k * 7);
    blob_record junk[2] = {{4, garbage.data(), 200000}, {6, garbage.data(), 300}};
    EXPECT_EQ(store_put_data(7, junk, 2), 0);
    EXPECT_EQ(store_delete_item(7, 5), 0);  // leaves its data, thumbnail and name
    EXPECT_EQ(store_close(7), 0);

    ToolResult r = run_with_env({"verify", db}, kPassword);
    EXPECT_EXIT_STATUS(r, 1);
    for (const char* problem : {
             "item 2: thumbnail missing or cannot be deciphered",
             "item 3: picture data missing or cannot be deciphered",
             "item 4: picture data of fern.tif does not decode",
             "item 6: recorded size 13155 does not fit the 320 stored bytes",
             "item 5: picture data without an item row",
             "item 5: thumbnail without an item row",
             "item 5: name without an item row",
             "11 items checked, 7 problems",
         }) {
        EXPECT_TRUE(contains(r.out, problem)) << problem << " in:\n" << r.out;
    }
}

TEST_F(ToolTest, FoldersAddTheirPicturesAndRecurseOnlyWhenAsked) {
    const std::string db = dir_.file("p.db");
    EXPECT_EXIT_STATUS(run_with_input({"create", db}, ""), 0);
    const std::string tree = dir_.file("tree");
    std::filesystem::create_directories(tree + "/deeper");
    std::filesystem::copy_file(picture("comet.gif"), tree + "/a.gif");
    std::filesystem::copy_file(picture("tiles.bmp"), tree + "/deeper/b.bmp");
    dir_.write("tree/notes.txt", "not a picture, passed over in a folder");

    ToolResult r = run_with_input({"add", db, tree}, "");
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_EQ(r.out, "1\t" + tree + "/a.gif\n");
    r = run_with_input({"add", db, "--recursive", tree}, "");
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_EQ(r.out, "2\t" + tree + "/a.gif\n3\t" + tree + "/deeper/b.bmp\n");
}

TEST_F(ToolTest, LongRunsShowAProgressLineOnATerminal) {
    const std::string db = dir_.file("p.db");
    EXPECT_EXIT_STATUS(run_with_input({"create", db}, ""), 0);
    ToolRun run;
    run.args = {"add", db, pictures_};
    run.error_on_terminal = true;
    ToolResult r = run_tool(run);
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_TRUE(contains(r.err, "  1/12  0%  " + picture(names_[0]))) << r.err;
    EXPECT_TRUE(contains(r.err, "  12/12  91%  ")) << r.err;
    EXPECT_TRUE(contains(r.err, "\r\033[K"));
    EXPECT_EQ(lines(r.out).size(), names_.size()) << "results stay on standard output";

    run.args = {"verify", db};
    r = run_tool(run);
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_TRUE(contains(r.err, "  12/12  91%  item 12")) << r.err;
}

TEST_F(ToolTest, DemonstrationDatabaseVerifiesWithTheReadmePassword) {
    const std::string readme = read_file(LORVEX_README);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(readme, m, std::regex("password is `([^`]{8,32})`")))
        << "the README names the demonstration database's password";
    const std::string password = m[1];
    ToolResult r = run_with_env({"verify", LORVEX_DEMO_DB}, password);
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_TRUE(contains(r.out, "12 items checked, 0 problems"));
    r = run_with_env({"info", LORVEX_DEMO_DB}, password);
    EXPECT_EXIT_STATUS(r, 0);
    EXPECT_TRUE(contains(r.out, "ciphers:\trijndael, twofish\n"));
    EXPECT_TRUE(contains(r.out, "classes:\t2\n"));
    EXPECT_TRUE(contains(r.out, "albums:\t1\n"));
    EXPECT_EXIT_STATUS(run_with_env({"list", LORVEX_DEMO_DB}, "wrong password"), 3);
}

TEST_F(ToolTest, WrongPasswordChangesNothing) {
    const std::string db = filled_database("e.db", true);
    const std::string before = read_file(db);
    const std::string out = dir_.file("out");
    std::filesystem::create_directories(out);
    struct Case {
        std::vector<std::string> args;
        std::string input;  // the password's line
        const char* reason;
    };
    const Case cases[] = {
        {{"delete", db, "1"}, "wrong horse 42\n", "wrong password on standard input"},
        {{"rate", db, "5", "1"}, "correct horse 4\n", "one character short"},
        {{"export", db, out}, std::string(33, 'x') + "\n", "longer than any password"},
        {{"list", db}, "", "no password at all"},
    };
    for (const Case& c : cases) {
        ToolResult r = run_with_input(c.args, c.input);
        EXPECT_EXIT_STATUS(r, 3) << c.reason;
        EXPECT_TRUE(contains(r.err, "password")) << c.reason << ": " << r.err;
    }
    EXPECT_EQ(read_file(db), before);
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

TEST_F(ToolTest, BadInputGivesItsStatusAndMessageAndLosesNothing) {
    const std::string db = filled_database("p.db", false);
    const std::string before = read_file(db);
    dir_.write("notes.txt", "plain text, not a database");
    dir_.write("fake.db", std::string("QVDB_1116_Ver01") + std::string(100, 'x'));
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message_part;
        const char* reason;
    };
    const Case cases[] = {
        {{"list", dir_.file("notes.txt")}, 4, "is not a Lorvex private database", "a text file"},
        {{"info", dir_.file("missing.db")}, 4, "No such file", "no file at all"},
        {{"info", dir_.path()}, 4, "is a folder", "a folder"},
        {{"verify", dir_.file("fake.db")}, 4, "cannot be opened", "right magic, no database"},
        {{"create", db}, 4, "exists already", "create never overwrites"},
        {{"rate", db, "9", "1"}, 2, "from 0 to 5", "star value out of range"},
        {{"rate", db, "3", "1", "99"}, 1, "no item has the id 99", "unknown id among known"},
        {{"delete", db, "40"}, 1, "no item has the id 40", "unknown id"},
        {{"class", db, "add", "X", "77"}, 1, "no item has the id 77", "unknown id"},
        {{"class", db, "remove", "Nope"}, 1, "no class named 'Nope'", "unknown class"},
        {{"export", db, dir_.file("nowhere")}, 1, "does not exist", "missing export folder"},
        {{"export", db, dir_.file("notes.txt")}, 1, "is not a folder", "export into a file"},
        {{"export", db, dir_.path(), "--ids", "50"}, 1, "no item has the id 50", "unknown id"},
        {{"frob", db}, 2, "unknown command 'frob'", "unknown command"},
    };
    for (const Case& c : cases) {
        ToolResult r = run_with_input(c.args, "");
        EXPECT_EXIT_STATUS(r, c.status) << c.reason;
        EXPECT_TRUE(contains(r.err, c.message_part)) << c.reason << ": " << r.err;
    }
    EXPECT_EQ(read_file(db), before);
}

TEST_F(ToolTest, CreateRefusesBadCiphersAndPasswordsWithoutLeavingAFile) {
    struct Case {
        std::vector<std::string> extra;
        std::string password;
        const char* message_part;
        const char* reason;
    };
    const Case cases[] = {
        {{"--cipher", "blowfish"},
         kPassword,
         "unknown cipher 'blowfish'; choose from rijndael, "
         "camellia, twofish",
         "unknown cipher"},
        {{"--cipher", "rijndael"},
         "short",
         "has 5 characters; a new database needs 8 to 32",
         "password too short"},
        {{"--cipher", "twofish"}, std::string(33, 'p'), "8 to 32", "password too long"},
    };
    for (const Case& c : cases) {
        const std::string db = dir_.file("new.db");
        std::vector<std::string> args = {"create", db};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        ToolResult r = run_with_env(args, c.password);
        EXPECT_EXIT_STATUS(r, 2) << c.reason;
        EXPECT_TRUE(contains(r.err, c.message_part)) << c.reason << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(db)) << c.reason;
    }
    ToolResult r = run_with_input({"create", dir_.file("no/such/folder/x.db")}, "");
    EXPECT_EXIT_STATUS(r, 4);
    EXPECT_TRUE(contains(r.err, "does not exist"));
}

TEST_F(ToolTest, FailedAddsAreNamedAndLeaveNothingBehind) {
    const std::string db = dir_.file("p.db");
    EXPECT_EXIT_STATUS(run_with_input({"create", db}, ""), 0);
    dir_.write("broken.jpg", "these bytes do not decode as a JPEG");
    dir_.write("empty.png", "");
    ToolResult r = run_with_input({"add", db, dir_.file("missing.jpg"), dir_.file("broken.jpg"),
                                   picture("comet.gif"), dir_.file("empty.png")},
                                  "");
    EXPECT_EXIT_STATUS(r, 1);
    EXPECT_TRUE(contains(r.err, "cannot add " + dir_.file("missing.jpg")));
    EXPECT_TRUE(contains(r.err, "cannot add " + dir_.file("broken.jpg")));
    EXPECT_TRUE(contains(r.err, "cannot add " + dir_.file("empty.png")));
    EXPECT_TRUE(contains(r.err, "1 added, 3 failed"));
    r = run_with_input({"list", db}, "");
    ASSERT_EQ(lines(r.out).size(), 1u);
    EXPECT_TRUE(contains(r.out, "\tcomet.gif\t"));
    r = run_with_input({"verify", db}, "");
    EXPECT_EXIT_STATUS(r, 0) << "no orphan pieces of the failed adds";
}

TEST_F(ToolTest, PermissionsBindTheToolAsTheyBindAUser) {
    const std::string db = filled_database("p.db", false);
    // The child may run as "nobody": let it reach the database.
    chmod(dir_.path().c_str(), 0777);
    chmod(db.c_str(), 0666);
    const std::string locked = dir_.file("locked");
    std::filesystem::create_directories(locked);
    chmod(locked.c_str(), 0555);
    dir_.write("secret.png", read_file(picture("meadow.png")));
    chmod(dir_.file("secret.png").c_str(), 0);

    ToolRun run;
    run.as_nobody = true;
    run.args = {"export", db, locked};
    ToolResult r = run_tool(run);
    EXPECT_EXIT_STATUS(r, 1);
    EXPECT_TRUE(contains(r.err, "cannot write into the export folder")) << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(locked));

    run.args = {"add", db, dir_.file("secret.png")};
    r = run_tool(run);
    EXPECT_EXIT_STATUS(r, 1);
    EXPECT_TRUE(contains(r.err, "cannot add " + dir_.file("secret.png"))) << r.err;
    r = run_with_input({"info", db}, "");
    EXPECT_TRUE(contains(r.out, "items:\t12\n"));
}

}  // namespace
}  // namespace lorvex::testing
