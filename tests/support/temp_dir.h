// A folder of its own for one test, removed with everything in it when the
// object goes. Tests build their fixtures (pictures, databases) inside it.
#pragma once

#include <string>

namespace lorvex::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name.
    std::string file(const std::string& name) const;
    // Writes bytes to path() + "/" + name, creating folders on the way.
    void write(const std::string& name, const std::string& bytes) const;

private:
    std::string path_;
};

}  // namespace lorvex::testing
