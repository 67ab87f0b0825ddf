#include "cli/password.h"

#include <termios.h>
#include <unistd.h>

namespace lorvex {

int cli_read_password(const char* env, std::FILE* in, std::FILE* prompt_to, std::string* password) {
    password->clear();
    if (env != nullptr) {
        *password = env;
        return 0;
    }
    if (in == nullptr) return -1;
    const int fd = fileno(in);
    const bool terminal = fd >= 0 && isatty(fd) == 1;
    termios saved{};
    bool echo_off = false;
    if (terminal) {
        if (prompt_to != nullptr) {
            std::fputs("Password: ", prompt_to);
            std::fflush(prompt_to);
        }
        if (tcgetattr(fd, &saved) == 0) {
            termios quiet = saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            echo_off = tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
        }
    }
    bool any = false;
    for (int c = std::fgetc(in); c != EOF; c = std::fgetc(in)) {
        any = true;
        if (c == '\n') break;
        password->push_back(static_cast<char>(c));
    }
    if (!password->empty() && password->back() == '\r') password->pop_back();
    if (echo_off) {
        tcsetattr(fd, TCSAFLUSH, &saved);
        if (prompt_to != nullptr) std::fputc('\n', prompt_to);
    }
    return any ? 0 : -1;
}

int cli_check_new_password(const std::string& password, std::string* error) {
    if (password.size() >= kNewPasswordMin && password.size() <= kNewPasswordMax) return 0;
    *error = "the password has " + std::to_string(password.size()) +
             " characters; a new database needs 8 to 32";
    return -1;
}

}  // namespace lorvex
