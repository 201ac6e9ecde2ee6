#pragma once
// Firmware file headers of the three forms, and files made of them.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "protocol/byte_order.h"

namespace kalix::app::testing {

inline std::vector<std::uint8_t> newFormHeader(std::string_view module, std::uint32_t stamp,
                                               std::size_t size = 256) {
    std::vector<std::uint8_t> h(size, 0);
    std::memcpy(h.data() + 3, "VBoot", 5);
    std::memcpy(h.data() + 67, "VBoot", 5);
    protocol::putBe32(h.data() + 8, stamp);
    std::memcpy(h.data() + 32, module.data(), std::min<std::size_t>(module.size(), 32));
    for (std::size_t i = 256; i < size; ++i) h[i] = static_cast<std::uint8_t>(i * 7);
    return h;
}

// "VBoot" at 3, the model at 68 and the date text from 64.
inline std::vector<std::uint8_t> bootFormHeader(std::string_view model, std::string_view date_text) {
    std::vector<std::uint8_t> h(256, 0);
    std::memcpy(h.data() + 3, "VBoot", 5);
    std::memcpy(h.data() + 64, "V1.2", 4);
    std::memcpy(h.data() + 68, model.data(), std::min<std::size_t>(model.size(), 10));
    std::memcpy(h.data() + 78, date_text.data(), std::min<std::size_t>(date_text.size(), 178));
    return h;
}

// The model at 4 and the date text from 0.
inline std::vector<std::uint8_t> plainFormHeader(std::string_view model, std::string_view date_text) {
    std::vector<std::uint8_t> h(256, 0);
    std::memcpy(h.data(), "REL ", 4);
    std::memcpy(h.data() + 4, model.data(), std::min<std::size_t>(model.size(), 11));
    std::memcpy(h.data() + 15, date_text.data(), std::min<std::size_t>(date_text.size(), 241));
    return h;
}

inline void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A folder of its own under the system's temporary folder, removed at the end.
class TempFolder {
public:
    explicit TempFolder(std::string_view name)
        : path_(std::filesystem::temp_directory_path() /
                (std::string(name) + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    std::filesystem::path path_;
};

}  // namespace kalix::app::testing
