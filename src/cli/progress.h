// The progress line of lorvex-db's long runs (add, export, verify): count,
// percentage and the current name, redrawn in place on a terminal and
// silent otherwise. Owned by the run that shows it; main thread only.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace lorvex {

class ProgressLine {
  public:
    // Shows nothing unless enabled (callers pass whether out is a terminal).
    ProgressLine(std::FILE* out, bool enabled, size_t total);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Entry done + 1 of total is being worked on under name.
    void show(size_t done, const std::string& name);
    // Wipes the line so that the next message starts on a clean line.
    void clear();

    // The text of one line, without the carriage return: "  3/12  25%  name";
    // the name is cut from the front to keep the line within width columns.
    static std::string format(size_t done, size_t total, const std::string& name, size_t width);

  private:
    std::FILE* out_;
    bool enabled_;
    size_t total_;
    bool shown_ = false;
};

}  // namespace lorvex
