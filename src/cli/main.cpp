// lorvex-db: see cli/cli.h and 'lorvex-db --help'.
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/password.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    lorvex::CliIo io;
    io.password_env = std::getenv(lorvex::kPasswordVariable);
    io.progress = isatty(STDERR_FILENO) == 1;
    return lorvex::cli_run(args, io);
}
