// Password input of lorvex-db: from the environment variable LORVEX_PASSWORD
// when it is set, otherwise from the first line of standard input (without
// echo on a terminal). Never from the command line. Main thread only.
#pragma once

#include <cstdio>
#include <string>

namespace lorvex {

constexpr const char* kPasswordVariable = "LORVEX_PASSWORD";
constexpr size_t kNewPasswordMin = 8;
constexpr size_t kNewPasswordMax = 32;

// env is the variable's value (null when unset). Otherwise reads one line
// from in, dropping its line end; on a terminal it prompts on prompt_to and
// turns echo off while the line is typed. 0 and *password set, or -1 when
// standard input ends before any character or line end.
[[nodiscard]] int cli_read_password(const char* env, std::FILE* in, std::FILE* prompt_to,
                                    std::string* password);

// 0 when password may protect a new database (8 to 32 bytes); otherwise -1
// and *error says why.
[[nodiscard]] int cli_check_new_password(const std::string& password, std::string* error);

}  // namespace lorvex
