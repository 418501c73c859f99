// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// Replays kept fuzzing inputs through the fuzz target without libFuzzer, so the normal build
// checks the seed corpus and every past crash on each test run.
//
// Usage: script_fuzz_replay DIR|FILE... ; each folder's regular files are fed in name order. An
// input that breaks a promise aborts the run; finding no input at all fails it too, since that
// means the folders were not where the test expected.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> inputsIn(const fs::path& place) {
    std::vector<fs::path> found;
    if (fs::is_directory(place)) {
        for (const fs::directory_entry& e : fs::directory_iterator(place))
            if (e.is_regular_file())
                found.push_back(e.path());
        std::sort(found.begin(), found.end());
    } else if (fs::is_regular_file(place)) {
        found.push_back(place);
    }
    return found;
}

} // namespace

int main(int argc, char** argv) {
    std::size_t replayed = 0;
    for (int a = 1; a < argc; ++a) {
        for (const fs::path& input : inputsIn(argv[a])) {
            std::ifstream file(input, std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(file), {}};
            if (!file.good() && !file.eof()) {
                std::fprintf(stderr, "cannot read %s\n", input.c_str());
                return 1;
            }
            // Named first, so an abort inside says which input it was.
            std::fprintf(stderr, "replaying %s (%zu bytes)\n", input.c_str(), bytes.size());
            std::fflush(stderr);
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                   bytes.size());
            ++replayed;
        }
    }
    if (replayed == 0) {
        std::fprintf(stderr, "no inputs found\n");
        return 1;
    }
    std::printf("replayed %zu inputs\n", replayed);
    return 0;
}
