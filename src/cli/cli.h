// lorvex-db: private picture databases from the command line. cli_run does
// everything one invocation does, through the store's and the engine's own
// add, delete, copy-out and label steps, and returns the exit status.
// One call at a time per process (the store's registry is process-wide).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace lorvex {

enum CliExit : int {
    kExitOk = 0,
    kExitSomeFailed = 1,     // some entries failed; each is named on err
    kExitUsage = 2,          // the command line is wrong
    kExitWrongPassword = 3,  // the password does not open the database
    kExitNotDatabase = 4,    // not a private database, or it cannot be opened
};

struct CliIo {
    std::FILE* in = stdin;               // the password's line when password_env is null
    std::FILE* out = stdout;             // results
    std::FILE* err = stderr;             // messages and the progress line
    const char* password_env = nullptr;  // LORVEX_PASSWORD, null when unset
    bool progress = false;               // err is a terminal: show progress lines
};

// args excludes the program name.
[[nodiscard]] int cli_run(const std::vector<std::string>& args, const CliIo& io);

}  // namespace lorvex
