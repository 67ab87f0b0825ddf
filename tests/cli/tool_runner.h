// Runs the built lorvex-db as a user would: a child process with arguments,
// an environment and standard input, collecting its exit status and output.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace lorvex::testing {

struct ToolResult {
    int status = -1;  // exit status, or -1 when the child did not exit normally
    std::string out;
    std::string err;
};

struct ToolRun {
    std::vector<std::string> args;  // without the program
    std::string input;              // written to the child's standard input
    // The child's LORVEX_PASSWORD; unset when has_password is false.
    bool has_password = false;
    std::string password;
    // When the tests run as root, the child drops to the user "nobody" so
    // that file permissions bind it as they bind a user.
    bool as_nobody = false;
    // Standard error is a terminal (a pseudo-terminal the runner reads), as
    // when a user watches the tool; standard output stays a pipe.
    bool error_on_terminal = false;
};

// The path of the built tool.
const char* tool_path();

// Runs the tool and waits for it. A test fails when any argument contains
// the password given by environment or input: passwords never travel on the
// command line.
ToolResult run_tool(const ToolRun& run);

// Shorthands: the password through the environment, or on standard input.
ToolResult run_with_env(const std::vector<std::string>& args, const std::string& password);
ToolResult run_with_input(const std::vector<std::string>& args, const std::string& input);

}  // namespace lorvex::testing
