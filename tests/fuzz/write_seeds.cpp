// The fuzzer's seeds: each of the tests' corner cases (tests/request_corners.cpp) as an input of
// request_fuzzer, its options byte (1 for --cut-names) then the row's file, in a file of its own
// named by the row's index, 0, 1, ...:
//   write_seeds DIR
// DIR is made if it is missing. Exits 0; 1 after one line on stderr if a file cannot be written;
// 2 on misuse.
#include "../request_corners.hpp"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_seeds DIR\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "write_seeds: cannot make %s: %s\n", argv[1], error.message().c_str());
        return 1;
    }
    const std::vector<request_corner>& corners = requestCorners();
    for (std::size_t index = 0; index < corners.size(); ++index) {
        const std::string path = (folder / std::to_string(index)).string();
        const std::string& file = corners[index].file;
        std::FILE* out = std::fopen(path.c_str(), "wb");
        const int options = corners[index].cutNames ? 1 : 0;
        const bool written = out != nullptr && std::fputc(options, out) == options &&
                             std::fwrite(file.data(), 1, file.size(), out) == file.size();
        if (out == nullptr || std::fclose(out) != 0 || !written) {
            std::fprintf(stderr, "write_seeds: cannot write %s: %s\n", path.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    return 0;
}
