// lorvex-make-pictures DIR: draws the demonstration pictures into DIR
// (created when missing). Run by the build; see demo_pictures.h.
#include <cstdio>
#include <filesystem>
#include <string>

#include "demo_pictures.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: lorvex-make-pictures DIR\n");
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(argv[1], ec);
    if (ec) {
        std::fprintf(stderr, "lorvex-make-pictures: cannot create %s: %s\n", argv[1],
                     ec.message().c_str());
        return 1;
    }
    std::string error;
    if (lorvex::tools::write_demo_pictures(argv[1], &error) != 0) {
        std::fprintf(stderr, "lorvex-make-pictures: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
