// Runs a fuzz target once over every file in the folders (and files) named on the command line,
// in name order, so that the ordinary build checks the seeds and every saved reproducer without
// clang or libFuzzer. A broken property aborts, and the last name printed is the input at fault.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

std::vector<std::filesystem::path> inputsOf(const std::filesystem::path &named)
{
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(named)) {
        for (const auto &entry : std::filesystem::directory_iterator(named)) {
            if (entry.is_regular_file())
                files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
    } else if (std::filesystem::is_regular_file(named)) {
        files.push_back(named);
    }
    return files;
}

} // namespace

int main(int argc, char **argv)
{
    size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto &file : inputsOf(argv[i])) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
            std::printf("replay %s\n", file.c_str());
            std::fflush(stdout);
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
            ++replayed;
        }
    }
    std::printf("%zu inputs replayed\n", replayed);
    // No inputs means a wrong path, not a pass.
    return replayed > 0 ? 0 : 1;
}
