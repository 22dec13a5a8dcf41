// Runs a fuzz target over every file of its corpus folder as a plain test,
// so the parsers keep answering their seed inputs in every build, with or
// without a fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(argv[1], ec))
        if (e.is_regular_file()) files.push_back(e.path());
    if (ec || files.empty()) {
        std::fprintf(stderr, "no corpus in %s\n", argv[1]);
        return 1;
    }
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    // Same input with nothing in it: every parser must take an empty buffer.
    LLVMFuzzerTestOneInput(nullptr, 0);
    std::printf("%zu passed, 0 failed\n", files.size() + 1);
    return 0;
}
