// Replays a corpus folder through a fuzz target without libFuzzer, so that every test build runs it
// under its own sanitizers. The inputs go in name order, each named before it runs.
#include <algorithm>
#include <filesystem>
#include <vector>

#include "fuzz/fuzz.h"

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(argc == 2 ? argv[1] : "."))
        inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
    LLVMFuzzerInitialize(&argc, &argv);
    for (const auto& path : inputs) {
        std::fprintf(stderr, "%s\n", path.c_str());
        const ByteString bytes = Read_File(path.string());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::fprintf(stderr, "%zu inputs replayed\n", inputs.size());
    return inputs.empty() ? 2 : 0;
}
