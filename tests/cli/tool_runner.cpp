#include "tool_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace lorvex::testing {
namespace {

constexpr uid_t kNobody = 65534;

void check_no_password_in(const std::vector<std::string>& args, const std::string& secret) {
    if (secret.empty()) return;
    for (const std::string& a : args) {
        if (a.find(secret) != std::string::npos) {
            ADD_FAILURE() << "a password was put on the command line: " << a;
        }
    }
}

std::string first_line(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

}  // namespace

const char* tool_path() {
    return LORVEX_DB_TOOL;
}

ToolResult run_tool(const ToolRun& run) {
    if (run.has_password) check_no_password_in(run.args, run.password);
    check_no_password_in(run.args, first_line(run.input));

    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "LORVEX_PASSWORD=", 16) != 0) env.emplace_back(*e);
    }
    if (run.has_password) env.push_back("LORVEX_PASSWORD=" + run.password);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argv_store = {tool_path()};
    argv_store.insert(argv_store.end(), run.args.begin(), run.args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_store) argv.push_back(a.data());
    argv.push_back(nullptr);

    int in_pipe[2], out_pipe[2], err_pipe[2];
    ToolResult result;
    if (pipe2(in_pipe, O_CLOEXEC) != 0 || pipe2(out_pipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return result;
    }
    if (run.error_on_terminal) {
        // err_pipe[0] is the terminal's master side, err_pipe[1] its slave.
        if (openpty(&err_pipe[0], &err_pipe[1], nullptr, nullptr, nullptr) != 0) {
            ADD_FAILURE() << "openpty: " << std::strerror(errno);
            return result;
        }
        fcntl(err_pipe[0], F_SETFD, FD_CLOEXEC);
        fcntl(err_pipe[1], F_SETFD, FD_CLOEXEC);
    } else if (pipe2(err_pipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return result;
    }
    pid_t pid = fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        return result;
    }
    if (pid == 0) {
        dup2(in_pipe[0], STDIN_FILENO);
        dup2(out_pipe[1], STDOUT_FILENO);
        dup2(err_pipe[1], STDERR_FILENO);
        if (run.as_nobody && geteuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
                _exit(126);
            }
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    signal(SIGPIPE, SIG_IGN);

    // Feed the input and drain both outputs together so no pipe fills up.
    size_t written = 0;
    int in_fd = in_pipe[1];
    if (run.input.empty()) {
        close(in_fd);
        in_fd = -1;
    }
    bool out_open = true, err_open = true;
    while (out_open || err_open) {
        pollfd fds[3];
        int n = 0;
        if (out_open) fds[n++] = {out_pipe[0], POLLIN, 0};
        if (err_open) fds[n++] = {err_pipe[0], POLLIN, 0};
        if (in_fd >= 0) fds[n++] = {in_fd, POLLOUT, 0};
        if (poll(fds, static_cast<nfds_t>(n), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int k = 0; k < n; ++k) {
            if (fds[k].revents == 0) continue;
            if (fds[k].fd == in_fd) {
                ssize_t w = write(in_fd, run.input.data() + written, run.input.size() - written);
                if (w > 0) written += static_cast<size_t>(w);
                if (w < 0 || written == run.input.size()) {
                    close(in_fd);
                    in_fd = -1;
                }
                continue;
            }
            char buffer[4096];
            ssize_t r = read(fds[k].fd, buffer, sizeof buffer);
            const bool is_out = fds[k].fd == out_pipe[0];
            if (r > 0) {
                (is_out ? result.out : result.err).append(buffer, static_cast<size_t>(r));
            } else {
                (is_out ? out_open : err_open) = false;
            }
        }
    }
    if (in_fd >= 0) close(in_fd);
    close(out_pipe[0]);
    close(err_pipe[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

ToolResult run_with_env(const std::vector<std::string>& args, const std::string& password) {
    ToolRun run;
    run.args = args;
    run.has_password = true;
    run.password = password;
    return run_tool(run);
}

ToolResult run_with_input(const std::vector<std::string>& args, const std::string& input) {
    ToolRun run;
    run.args = args;
    run.input = input;
    return run_tool(run);
}

}  // namespace lorvex::testing
