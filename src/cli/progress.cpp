#include "cli/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace lorvex {
namespace {

size_t terminal_width(std::FILE* out) {
    winsize size{};
    if (ioctl(fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 20) return size.ws_col;
    return 80;
}

}  // namespace

ProgressLine::ProgressLine(std::FILE* out, bool enabled, size_t total)
    : out_(out), enabled_(enabled && out != nullptr), total_(total) {}

ProgressLine::~ProgressLine() {
    clear();
}

std::string ProgressLine::format(size_t done, size_t total, const std::string& name, size_t width) {
    const size_t percent = total == 0 ? 100 : done * 100 / total;
    std::string line = std::to_string(done + (done < total ? 1 : 0));
    line = "  " + line + "/" + std::to_string(total) + "  " + std::to_string(percent) + "%  ";
    // One column is kept free so the cursor never wraps onto a new line.
    const size_t room = width > line.size() + 1 ? width - line.size() - 1 : 0;
    if (name.size() <= room) {
        line += name;
    } else if (room > 3) {
        line += "..." + name.substr(name.size() - (room - 3));
    }
    return line;
}

void ProgressLine::show(size_t done, const std::string& name) {
    if (!enabled_) return;
    std::string line = format(done, total_, name, terminal_width(out_));
    std::fprintf(out_, "\r\033[K%s", line.c_str());
    std::fflush(out_);
    shown_ = true;
}

void ProgressLine::clear() {
    if (!enabled_ || !shown_) return;
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
    shown_ = false;
}

}  // namespace lorvex
