#pragma once
// The H.264 clips under tests/data/h264, cut into pictures.

#include <fstream>
#include <string>
#include <vector>

namespace kalix::media::testing {

inline std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

// Splits an Annex B stream into pictures: each slice unit together with the
// parameter sets and other units in front of it.
inline std::vector<std::vector<std::uint8_t>> accessUnits(const std::vector<std::uint8_t>& s) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + 3 < s.size(); ++i)
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1) starts.push_back(i > 0 && s[i - 1] == 0 ? i - 1 : i);
    std::vector<std::vector<std::uint8_t>> units;
    std::size_t begin = 0;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        const std::size_t end = k + 1 < starts.size() ? starts[k + 1] : s.size();
        std::size_t header = starts[k];
        while (s[header] == 0) ++header;
        const int type = s[header + 1] & 0x1F;
        if (type == 1 || type == 5) {
            units.emplace_back(s.begin() + static_cast<std::ptrdiff_t>(begin),
                               s.begin() + static_cast<std::ptrdiff_t>(end));
            begin = end;
        }
    }
    return units;
}

inline std::string clipPath(const std::string& name) { return std::string(KALIX_TEST_DATA_DIR) + "/h264/" + name; }

}  // namespace kalix::media::testing
