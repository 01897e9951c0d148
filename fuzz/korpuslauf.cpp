// The fuzz targets without libFuzzer: each input file (every file of a folder, in name order)
// goes through LLVMFuzzerTestOneInput once, after the empty input, so that the normal test
// build replays the seed corpus and every fault found before. A failed check traps.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* daten, std::size_t groesse);

namespace {

bool Ausfuehren(const std::filesystem::path& datei) {
    std::ifstream ein(datei, std::ios::binary);
    if (!ein) {
        std::fprintf(stderr, "korpuslauf: %s cannot be read\n", datei.c_str());
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(ein)),
                                  std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER_OR_FILE...\n", argv[0]);
        return 2;
    }
    LLVMFuzzerTestOneInput(nullptr, 0);
    std::size_t anzahl = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path pfad(argv[i]);
        std::error_code fehler;
        std::vector<std::filesystem::path> dateien;
        if (std::filesystem::is_directory(pfad, fehler)) {
            for (const auto& eintrag : std::filesystem::directory_iterator(pfad, fehler))
                if (eintrag.is_regular_file()) dateien.push_back(eintrag.path());
            std::sort(dateien.begin(), dateien.end());
        } else {
            dateien.push_back(pfad);
        }
        for (const auto& datei : dateien) {
            if (!Ausfuehren(datei)) return 1;
            ++anzahl;
        }
    }
    // An empty or missing corpus would pass without testing anything.
    if (anzahl == 0) {
        std::fprintf(stderr, "korpuslauf: no input files\n");
        return 1;
    }
    std::printf("korpuslauf: %zu inputs\n", anzahl);
    return 0;
}
