// Replays files through a fuzz target's entry point: every regular file in
// each folder given (missing folders are skipped). CTest runs it over the
// seed corpus and the crasher files, so a fixed crash stays fixed.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        if (!fs::is_directory(argv[i], error))
            continue;
        for (const auto& entry : fs::directory_iterator(argv[i])) {
            if (!entry.is_regular_file() || entry.path().filename().string().starts_with("."))
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    std::printf("replayed %d files\n", replayed);
    return 0;
}
