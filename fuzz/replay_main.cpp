// A plain main for a fuzz target: runs it once over every file given, and
// every file in every folder given, as libFuzzer replays a corpus.
#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        fs::path given = argv[i];
        if (fs::is_directory(given)) {
            for (const auto& entry : fs::directory_iterator(given))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
        } else {
            inputs.push_back(given);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            fprintf(stderr, "cannot read %s\n", path.c_str());
            return 1;
        }
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // An empty vector's data() may be null; libFuzzer never passes null.
        static const uint8_t kNothing = 0;
        LLVMFuzzerTestOneInput(bytes.empty() ? &kNothing : bytes.data(), bytes.size());
    }
    printf("%s: %zu inputs replayed\n", fs::path(argv[0]).filename().c_str(), inputs.size());
    return 0;
}
