// Command-line parsing of lorvex-db: turns the argument list into one
// CliCommand, or into a usage error with a text that says what to fix.
// Plain functions without state; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lorvex {

enum class CliVerb {
    kNone,  // no command given: print the tool's help
    kCreate,
    kInfo,
    kAdd,
    kList,
    kExport,
    kDelete,
    kRate,
    kClass,
    kAlbum,
    kVerify,
};

// What to do with an exported name that already exists in the target folder.
enum class CliPolicy { kRename, kSkip };

struct CliCommand {
    CliVerb verb = CliVerb::kNone;
    bool help = false;                 // --help: print the help of verb (or of the tool)
    std::string db;                    // the database file
    std::vector<std::string> ciphers;  // create: cipher names in chain order
    std::vector<std::string> paths;    // add: files and folders
    bool recursive = false;            // add: descend into sub-folders
    std::string dir;                   // export: the target folder
    bool all_ids = true;               // export: no --ids given
    std::vector<int32_t> ids;          // export, delete, rate, class, album
    CliPolicy policy = CliPolicy::kRename;
    int32_t stars = 0;       // rate
    bool label_add = false;  // class, album: add (true) or remove (false)
    std::string label;       // class, album: the name
};

// Parses args (without the program name). 0 and *command filled, or -1 and
// *error set to a one-line text naming the problem and the remedy.
[[nodiscard]] int cli_parse(const std::vector<std::string>& args, CliCommand* command,
                            std::string* error);

// The help text of one command, or of the whole tool for CliVerb::kNone.
std::string cli_help(CliVerb verb);

// The command's name as typed ("create", "add", ...); "" for kNone.
const char* cli_verb_name(CliVerb verb);

// Parses an id list such as "3", "1,4,9" or "2-5,8": positive 32-bit ids,
// ranges inclusive. 0 and *ids appended to, or -1 on a malformed list.
[[nodiscard]] int cli_parse_id_list(const std::string& text, std::vector<int32_t>* ids);

}  // namespace lorvex
