#include "cli/options.h"

#include <gtest/gtest.h>

#include "cli/password.h"
#include "cli/progress.h"

namespace lorvex {
namespace {

CliCommand parse_ok(const std::vector<std::string>& args) {
    CliCommand command;
    std::string error;
    EXPECT_EQ(cli_parse(args, &command, &error), 0) << error;
    return command;
}

TEST(CliParse, CommandsTakeTheirArgumentsAndOptionsInAnyPlace) {
    CliCommand c = parse_ok({"create", "a.db", "--cipher", "rijndael", "--cipher=twofish"});
    EXPECT_EQ(c.verb, CliVerb::kCreate);
    EXPECT_EQ(c.db, "a.db");
    EXPECT_EQ(c.ciphers, (std::vector<std::string>{"rijndael", "twofish"}));

    c = parse_ok({"add", "--recursive", "a.db", "pics", "one.jpg"});
    EXPECT_TRUE(c.recursive);
    EXPECT_EQ(c.paths, (std::vector<std::string>{"pics", "one.jpg"}));

    c = parse_ok({"export", "a.db", "out", "--ids", "3,1-2", "--policy", "skip"});
    EXPECT_EQ(c.dir, "out");
    EXPECT_FALSE(c.all_ids);
    EXPECT_EQ(c.ids, (std::vector<int32_t>{3, 1, 2}));
    EXPECT_EQ(c.policy, CliPolicy::kSkip);

    c = parse_ok({"export", "a.db", "out"});
    EXPECT_TRUE(c.all_ids);
    EXPECT_EQ(c.policy, CliPolicy::kRename);

    c = parse_ok({"rate", "a.db", "0", "7", "9"});
    EXPECT_EQ(c.stars, 0);
    EXPECT_EQ(c.ids, (std::vector<int32_t>{7, 9}));

    c = parse_ok({"class", "a.db", "add", "Family", "1", "2"});
    EXPECT_EQ(c.verb, CliVerb::kClass);
    EXPECT_TRUE(c.label_add);
    EXPECT_EQ(c.label, "Family");

    c = parse_ok({"album", "a.db", "remove", "--", "-odd name-"});
    EXPECT_EQ(c.verb, CliVerb::kAlbum);
    EXPECT_FALSE(c.label_add);
    EXPECT_EQ(c.label, "-odd name-");
}

TEST(CliParse, HelpIsAskedForInThreeWays) {
    EXPECT_TRUE(parse_ok({"--help"}).help);
    CliCommand c = parse_ok({"help", "export"});
    EXPECT_TRUE(c.help);
    EXPECT_EQ(c.verb, CliVerb::kExport);
    c = parse_ok({"rate", "--help"});
    EXPECT_TRUE(c.help);
    EXPECT_EQ(c.verb, CliVerb::kRate);
    EXPECT_NE(cli_help(CliVerb::kRate).find("Usage: lorvex-db rate DB STARS ID..."),
              std::string::npos);
}

TEST(CliParse, BadCommandLinesNameTheProblem) {
    struct Case {
        std::vector<std::string> args;
        const char* message_part;
        const char* reason;
    };
    const Case cases[] = {
        {{}, "no command given", "nothing at all"},
        {{"frobnicate", "a.db"}, "unknown command 'frobnicate'", "no such command"},
        {{"info"}, "needs a database file", "database missing"},
        {{"info", "a.db", "b.db"}, "unexpected argument 'b.db'", "one database only"},
        {{"add", "a.db"}, "at least one file or folder", "nothing to add"},
        {{"create", "a.db", "--cipher"}, "--cipher needs a value", "option value missing"},
        {{"create", "a.db", "--recursive"},
         "create has no option '--recursive'",
         "option of another command"},
        {{"add", "a.db", "x.jpg", "--password", "secret"},
         "never taken from the command line",
         "passwords stay off the command line"},
        {{"create", "a.db", "--cipher=rijndael", "--cipher=rijndael", "--cipher=rijndael",
          "--cipher=rijndael", "--cipher=rijndael", "--cipher=rijndael", "--cipher=rijndael"},
         "at most 6 stages",
         "seven ciphers"},
        {{"export", "a.db"}, "needs a target folder", "folder missing"},
        {{"export", "a.db", "out", "--policy", "overwrite"},
         "'rename' or 'skip'",
         "no overwriting policy"},
        {{"export", "a.db", "out", "--ids", "1,x"}, "not a list of item ids", "bad id list"},
        {{"export", "a.db", "out", "--ids", "5-2"}, "not a list of item ids", "backwards range"},
        {{"delete", "a.db"}, "at least one item id", "no ids"},
        {{"delete", "a.db", "0"}, "'0' is not an item id", "ids start at 1"},
        {{"delete", "a.db", "99999999999"}, "is not an item id", "beyond 32 bits"},
        {{"rate", "a.db", "6", "1"}, "from 0 to 5, not '6'", "too many stars"},
        {{"rate", "a.db", "-1", "1"}, "from 0 to 5, not '-1'", "negative stars"},
        {{"rate", "a.db", "3"}, "at least one item id", "rating nothing"},
        {{"class", "a.db", "rename", "x"}, "'add' or 'remove'", "unknown action"},
        {{"class", "a.db", "add", "Family"}, "at least one item id", "class without members"},
        {{"album", "a.db", "remove", "Trips", "3"}, "takes no item ids", "remove deletes all"},
        {{"class", "a.db", "add", std::string(65, 'n'), "1"}, "1 to 64 bytes", "name too long"},
    };
    for (const Case& c : cases) {
        CliCommand command;
        std::string error;
        EXPECT_EQ(cli_parse(c.args, &command, &error), -1) << c.reason;
        EXPECT_NE(error.find(c.message_part), std::string::npos)
            << c.reason << ": got '" << error << "'";
    }
}

TEST(CliPassword, NewPasswordsHaveEightToThirtyTwoBytes) {
    struct Case {
        size_t length;
        int expected;
    };
    for (Case c : {Case{0, -1}, Case{7, -1}, Case{8, 0}, Case{32, 0}, Case{33, -1}}) {
        std::string error;
        EXPECT_EQ(cli_check_new_password(std::string(c.length, 'p'), &error), c.expected)
            << c.length << " bytes";
        if (c.expected != 0) {
            EXPECT_NE(error.find("8 to 32"), std::string::npos);
        }
    }
}

TEST(CliPassword, TheEnvironmentWinsOverTheFirstLineOfInput) {
    char text[] = "from-input\r\nsecond line\n";
    std::FILE* in = fmemopen(text, sizeof text - 1, "r");
    ASSERT_NE(in, nullptr);
    std::string password;
    ASSERT_EQ(cli_read_password("from-env", in, nullptr, &password), 0);
    EXPECT_EQ(password, "from-env");
    ASSERT_EQ(cli_read_password(nullptr, in, nullptr, &password), 0);
    EXPECT_EQ(password, "from-input");  // line end and carriage return dropped
    ASSERT_EQ(cli_read_password(nullptr, in, nullptr, &password), 0);
    EXPECT_EQ(password, "second line");
    EXPECT_EQ(cli_read_password(nullptr, in, nullptr, &password), -1);  // input ended
    std::fclose(in);
}

TEST(CliProgress, LineShowsCountPercentageAndAShortenedName) {
    EXPECT_EQ(ProgressLine::format(0, 12, "a.jpg", 80), "  1/12  0%  a.jpg");
    EXPECT_EQ(ProgressLine::format(6, 12, "b.jpg", 80), "  7/12  50%  b.jpg");
    EXPECT_EQ(ProgressLine::format(12, 12, "", 80), "  12/12  100%  ");
    // Cut from the front: the end of a path names the file.
    std::string line = ProgressLine::format(0, 4, "/very/long/folder/name/picture.png", 30);
    EXPECT_EQ(line.size(), 29u);
    EXPECT_EQ(line, "  1/4  0%  ...ame/picture.png");
}

TEST(CliProgress, NothingIsWrittenWhenNotOnATerminal) {
    char buffer[256] = {};
    std::FILE* out = fmemopen(buffer, sizeof buffer, "w");
    ASSERT_NE(out, nullptr);
    {
        ProgressLine quiet(out, false, 3);
        quiet.show(0, "a.jpg");
        quiet.show(1, "b.jpg");
    }
    std::fflush(out);
    EXPECT_EQ(std::ftell(out), 0);
    {
        ProgressLine shown(out, true, 3);
        shown.show(0, "a.jpg");
    }
    std::fclose(out);
    EXPECT_NE(std::string(buffer).find("1/3"), std::string::npos);
    EXPECT_NE(std::string(buffer).find("\r\033[K"), std::string::npos);
}

}  // namespace
}  // namespace lorvex
