#include "shell/workspace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "store/store.h"

namespace lorvex {

namespace {

constexpr size_t kMaxProgramPath = 259;

bool is_folder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string DirectoryOf(const std::string& path) {
    const size_t cut = path.find_last_of("/\\:");
    if (cut == std::string::npos) return std::string();
    // A colon belongs to the directory; a slash or backslash does not.
    return path.substr(0, path[cut] == ':' ? cut + 1 : cut);
}

std::string ProgramDirectory() {
    char target[kMaxProgramPath + 2] = {};
    const ssize_t length = ::readlink("/proc/self/exe", target, sizeof(target) - 1);
    if (length <= 0 || static_cast<size_t>(length) > kMaxProgramPath) return std::string();
    const std::string exe(target, static_cast<size_t>(length));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

std::string ConfigFolder(const std::string& program_dir) {
    return program_dir + "/_cfg";
}

Workspace::Workspace(std::string program_dir)
    : program_dir_(std::move(program_dir)), config_folder_(ConfigFolder(program_dir_)) {}

Workspace::~Workspace() {
    CloseConfigDatabases();
}

void Workspace::OpenConfigDatabases() {
    if (opened_) return;
    opened_ = true;
    // The program never makes its configuration folder; without it, it runs
    // with neither database.
    if (!is_folder(config_folder_)) return;
    (void)workspace_open((config_folder_ + "/proj.pdb").c_str());
    (void)thumbcache_open((config_folder_ + "/dir_thumb.pdb").c_str());
}

void Workspace::CloseConfigDatabases() {
    if (!opened_ || closed_) return;
    closed_ = true;
    (void)workspace_close();
    (void)thumbcache_close();
}

}  // namespace lorvex
