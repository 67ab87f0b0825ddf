#include "cli/options.h"

#include <limits>

namespace lorvex {
namespace {

struct VerbInfo {
    CliVerb verb;
    const char* name;
    const char* help;
};

constexpr const char* kToolHelp =
    "Usage: lorvex-db COMMAND DB [ARGUMENTS]\n"
    "Works on Lorvex private picture databases from the command line.\n"
    "\n"
    "Commands:\n"
    "  create DB [--cipher NAME]...           make a new database (plain without --cipher)\n"
    "  info DB                                header, ciphers, counts, classes and albums\n"
    "  add DB PATH... [--recursive]           add picture files, or the pictures of folders\n"
    "  list DB                                one tab-separated line per item\n"
    "  export DB DIR [--ids LIST] [--policy rename|skip]\n"
    "                                         copy items out to the folder DIR\n"
    "  delete DB ID...                        delete items\n"
    "  rate DB STARS ID...                    set 0 to 5 stars\n"
    "  class DB add NAME ID... | remove NAME  put items into a class, or delete the class\n"
    "  album DB add NAME ID... | remove NAME  the same for albums\n"
    "  verify DB                              check every item and list each problem\n"
    "\n"
    "The password is read from the environment variable LORVEX_PASSWORD when it is\n"
    "set, otherwise from the first line of standard input; a plain database needs\n"
    "none. It is never taken from the command line.\n"
    "\n"
    "Exit status: 0 success, 1 some entries failed (each is named on standard\n"
    "error), 2 usage error, 3 wrong password, 4 not a private database or it\n"
    "cannot be opened.\n"
    "\n"
    "'lorvex-db COMMAND --help' describes one command.\n";

constexpr VerbInfo kVerbs[] = {
    {CliVerb::kCreate, "create",
     "Usage: lorvex-db create DB [--cipher rijndael|camellia|twofish]...\n"
     "Makes a new private database at DB; an existing file is never overwritten.\n"
     "Each --cipher adds a stage to the cipher chain, in the order given (1 to 6\n"
     "stages); without --cipher the database is plain and needs no password.\n"
     "An encrypted database takes a password of 8 to 32 characters.\n"},
    {CliVerb::kInfo, "info",
     "Usage: lorvex-db info DB\n"
     "Checks the file's header and prints the cipher names in chain order, the\n"
     "number of items, the next item id, and every class and album with the\n"
     "number of its members.\n"},
    {CliVerb::kAdd, "add",
     "Usage: lorvex-db add DB PATH... [--recursive]\n"
     "Adds picture files. A folder adds the files in it whose names give a\n"
     "picture type, and with --recursive (-r) those of its sub-folders too, in\n"
     "name order. A file that cannot be read or decoded is named on standard\n"
     "error and leaves nothing behind in the database.\n"},
    {CliVerb::kList, "list",
     "Usage: lorvex-db list DB\n"
     "Prints one line per item in id order, fields separated by tabs: id, size in\n"
     "bytes, date (ISO 8601, UTC), stars, hits, name, classes (comma-separated)\n"
     "and albums (comma-separated).\n"},
    {CliVerb::kExport, "export",
     "Usage: lorvex-db export DB DIR [--ids LIST] [--policy rename|skip]\n"
     "Copies items out to the existing folder DIR, each under its stored name and\n"
     "at its recorded size. A name that exists already is written as\n"
     "NAME_0000.EXT, NAME_0001.EXT, ... with --policy rename (the default), or\n"
     "passed over with --policy skip. LIST is a comma-separated list of ids and\n"
     "ranges such as 1,4,7-9; without --ids every item is copied out.\n"},
    {CliVerb::kDelete, "delete",
     "Usage: lorvex-db delete DB ID...\n"
     "Deletes the items with the given ids: data, thumbnail, name and row.\n"
     "When an id does not exist nothing is deleted.\n"},
    {CliVerb::kRate, "rate",
     "Usage: lorvex-db rate DB STARS ID...\n"
     "Sets the star rating (0 to 5) of the given items.\n"
     "When an id does not exist nothing is changed.\n"},
    {CliVerb::kClass, "class",
     "Usage: lorvex-db class DB add NAME ID...\n"
     "       lorvex-db class DB remove NAME\n"
     "add puts the items into the class NAME, creating the class when there is\n"
     "none of that name (at most 128 classes, names of 1 to 64 bytes, letter case\n"
     "counts). remove deletes the class and takes every item out of it.\n"},
    {CliVerb::kAlbum, "album",
     "Usage: lorvex-db album DB add NAME ID...\n"
     "       lorvex-db album DB remove NAME\n"
     "add puts the items into the album NAME, creating the album when there is\n"
     "none of that name (at most 128 albums, names of 1 to 64 bytes, letter case\n"
     "counts). remove deletes the album and takes every item out of it.\n"},
    {CliVerb::kVerify, "verify",
     "Usage: lorvex-db verify DB\n"
     "Checks every item: its row, data, thumbnail and name are present, its data\n"
     "deciphers and decodes as a picture, and its recorded size fits the stored\n"
     "data. Each problem is printed; the exit status is 1 when there is any.\n"},
};

const VerbInfo* find_verb(const std::string& name) {
    for (const VerbInfo& v : kVerbs) {
        if (name == v.name) return &v;
    }
    return nullptr;
}

const VerbInfo* find_verb(CliVerb verb) {
    for (const VerbInfo& v : kVerbs) {
        if (verb == v.verb) return &v;
    }
    return nullptr;
}

// A positive 32-bit id written in decimal; 0 when the text is not one.
int32_t parse_id(const std::string& text) {
    if (text.empty() || text.size() > 10) return 0;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > std::numeric_limits<int32_t>::max()) return 0;
    return static_cast<int32_t>(value);
}

int fail(std::string* error, std::string text) {
    *error = std::move(text);
    return -1;
}

// Options each command accepts; "" for none.
bool takes_option(CliVerb verb, const std::string& option) {
    if (option == "--help") return true;
    switch (verb) {
        case CliVerb::kCreate:
            return option == "--cipher";
        case CliVerb::kAdd:
            return option == "--recursive";
        case CliVerb::kExport:
            return option == "--ids" || option == "--policy";
        default:
            return false;
    }
}

bool option_has_value(const std::string& option) {
    return option == "--cipher" || option == "--ids" || option == "--policy";
}

}  // namespace

const char* cli_verb_name(CliVerb verb) {
    const VerbInfo* info = find_verb(verb);
    return info != nullptr ? info->name : "";
}

std::string cli_help(CliVerb verb) {
    const VerbInfo* info = find_verb(verb);
    return info != nullptr ? info->help : kToolHelp;
}

int cli_parse_id_list(const std::string& text, std::vector<int32_t>* ids) {
    if (text.empty()) return -1;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        std::string part = text.substr(start, comma - start);
        size_t dash = part.find('-');
        if (dash == std::string::npos) {
            int32_t id = parse_id(part);
            if (id == 0) return -1;
            ids->push_back(id);
        } else {
            int32_t low = parse_id(part.substr(0, dash));
            int32_t high = parse_id(part.substr(dash + 1));
            // A range holds at most as many ids as a database has room for.
            if (low == 0 || high == 0 || high < low || high - low >= 1000000) return -1;
            for (int64_t id = low; id <= high; ++id) ids->push_back(static_cast<int32_t>(id));
        }
        start = comma + 1;
    }
    return 0;
}

int cli_parse(const std::vector<std::string>& args, CliCommand* command, std::string* error) {
    *command = CliCommand{};
    if (args.empty()) return fail(error, "no command given; see 'lorvex-db --help'");

    const std::string& first = args[0];
    if (first == "--help" || first == "-h") {
        command->help = true;
        return 0;
    }
    if (first == "help") {
        command->help = true;
        if (args.size() > 1) {
            const VerbInfo* info = find_verb(args[1]);
            if (info == nullptr) {
                return fail(error, "unknown command '" + args[1] + "'; see 'lorvex-db --help'");
            }
            command->verb = info->verb;
        }
        return 0;
    }
    const VerbInfo* info = find_verb(first);
    if (info == nullptr) {
        return fail(error, "unknown command '" + first + "'; see 'lorvex-db --help'");
    }
    command->verb = info->verb;
    const std::string verb_name = info->name;
    const std::string see = "; see 'lorvex-db " + verb_name + " --help'";

    // Options may stand anywhere after the command; "--" ends them.
    std::vector<std::string> positional;
    bool ids_given = false;
    bool options_done = false;
    for (size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        if (options_done || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_done = true;
            continue;
        }
        if (arg == "-h") arg = "--help";
        if (arg == "-r") arg = "--recursive";
        std::string value;
        bool has_inline_value = false;
        size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            has_inline_value = true;
        }
        if (arg == "--password" || arg == "-p") {
            return fail(error,
                        "the password is never taken from the command line; set "
                        "LORVEX_PASSWORD or give it on the first line of standard input");
        }
        if (!takes_option(command->verb, arg)) {
            // A negative number is a value (for example a star rating), not an option.
            if (arg[1] >= '0' && arg[1] <= '9') {
                positional.push_back(args[i]);
                continue;
            }
            return fail(error, verb_name + " has no option '" + arg + "'" + see);
        }
        if (option_has_value(arg)) {
            if (!has_inline_value) {
                if (i + 1 >= args.size()) return fail(error, arg + " needs a value" + see);
                value = args[++i];
            }
        } else if (has_inline_value) {
            return fail(error, arg + " takes no value" + see);
        }
        if (arg == "--help") {
            command->help = true;
        } else if (arg == "--recursive") {
            command->recursive = true;
        } else if (arg == "--cipher") {
            if (value.empty()) return fail(error, "--cipher needs a cipher name" + see);
            command->ciphers.push_back(value);
        } else if (arg == "--ids") {
            if (cli_parse_id_list(value, &command->ids) != 0) {
                return fail(
                    error, "--ids '" + value + "' is not a list of item ids such as 1,4,7-9" + see);
            }
            ids_given = true;
        } else if (arg == "--policy") {
            if (value == "rename") {
                command->policy = CliPolicy::kRename;
            } else if (value == "skip") {
                command->policy = CliPolicy::kSkip;
            } else {
                return fail(error, "--policy must be 'rename' or 'skip', not '" + value + "'");
            }
        }
    }
    if (command->help) return 0;

    if (positional.empty()) return fail(error, verb_name + " needs a database file" + see);
    command->db = positional[0];
    std::vector<std::string> rest(positional.begin() + 1, positional.end());

    auto take_ids = [&](size_t from) -> int {
        if (from >= rest.size())
            return fail(error, verb_name + " needs at least one item id" + see);
        for (size_t k = from; k < rest.size(); ++k) {
            int32_t id = parse_id(rest[k]);
            if (id == 0) {
                return fail(error, "'" + rest[k] + "' is not an item id (a positive number)");
            }
            command->ids.push_back(id);
        }
        return 0;
    };

    switch (command->verb) {
        case CliVerb::kCreate:
        case CliVerb::kInfo:
        case CliVerb::kList:
        case CliVerb::kVerify:
            if (!rest.empty()) return fail(error, "unexpected argument '" + rest[0] + "'" + see);
            if (command->ciphers.size() > 6) {
                return fail(error, "a cipher chain has at most 6 stages, " +
                                       std::to_string(command->ciphers.size()) + " were given");
            }
            return 0;
        case CliVerb::kAdd:
            if (rest.empty()) return fail(error, "add needs at least one file or folder" + see);
            command->paths = rest;
            return 0;
        case CliVerb::kExport:
            if (rest.empty()) return fail(error, "export needs a target folder" + see);
            if (rest.size() > 1) return fail(error, "unexpected argument '" + rest[1] + "'" + see);
            command->dir = rest[0];
            command->all_ids = !ids_given;
            return 0;
        case CliVerb::kDelete:
            return take_ids(0);
        case CliVerb::kRate: {
            if (rest.empty()) return fail(error, "rate needs a star value and item ids" + see);
            const std::string& s = rest[0];
            if (s.size() != 1 || s[0] < '0' || s[0] > '5') {
                return fail(error,
                            "the star value must be a whole number from 0 to 5, not '" + s + "'");
            }
            command->stars = s[0] - '0';
            return take_ids(1);
        }
        case CliVerb::kClass:
        case CliVerb::kAlbum: {
            const std::string what = verb_name;
            if (rest.empty() || (rest[0] != "add" && rest[0] != "remove")) {
                return fail(error, what + " needs 'add' or 'remove'" + see);
            }
            command->label_add = rest[0] == "add";
            if (rest.size() < 2) return fail(error, what + " " + rest[0] + " needs a name" + see);
            command->label = rest[1];
            if (command->label.empty() || command->label.size() > 64) {
                return fail(error, "a " + what + " name has 1 to 64 bytes, '" + command->label +
                                       "' has " + std::to_string(command->label.size()));
            }
            if (command->label_add) return take_ids(2);
            if (rest.size() > 2) {
                return fail(error, what + " remove takes no item ids: it deletes the " + what +
                                       " and takes every item out of it" + see);
            }
            return 0;
        }
        case CliVerb::kNone:
            break;
    }
    return fail(error, "no command given; see 'lorvex-db --help'");
}

}  // namespace lorvex
