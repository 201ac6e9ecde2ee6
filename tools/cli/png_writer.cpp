#include "png_writer.h"

#include <zlib.h>

#include <fstream>
#include <string_view>
#include <vector>

#include "protocol/byte_order.h"

namespace kalix::cli {
namespace {

void chunk(std::ofstream& out, std::string_view type, const std::vector<std::uint8_t>& data) {
    std::uint8_t word[4];
    protocol::putBe32(word, static_cast<std::uint32_t>(data.size()));
    out.write(reinterpret_cast<const char*>(word), 4);
    out.write(type.data(), 4);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    uLong crc = ::crc32(0L, reinterpret_cast<const Bytef*>(type.data()), 4);
    // zlib reads a null buffer as "start a new CRC": an empty chunk adds nothing.
    if (!data.empty()) crc = ::crc32(crc, data.data(), static_cast<uInt>(data.size()));
    protocol::putBe32(word, static_cast<std::uint32_t>(crc));
    out.write(reinterpret_cast<const char*>(word), 4);
}

}  // namespace

bool writePng(const std::filesystem::path& path, std::span<const std::uint8_t> rgb, int width, int height) {
    if (width <= 0 || height <= 0) return false;
    const auto row = static_cast<std::size_t>(width) * 3;
    if (rgb.size() < row * static_cast<std::size_t>(height)) return false;

    std::vector<std::uint8_t> raw;
    raw.reserve((row + 1) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // no filter
        const auto* p = rgb.data() + static_cast<std::size_t>(y) * row;
        raw.insert(raw.end(), p, p + row);
    }
    uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packed_size);
    if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK) return false;
    packed.resize(packed_size);

    std::vector<std::uint8_t> header(13, 0);
    protocol::putBe32(header.data(), static_cast<std::uint32_t>(width));
    protocol::putBe32(header.data() + 4, static_cast<std::uint32_t>(height));
    header[8] = 8;  // bits per sample
    header[9] = 2;  // RGB

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    out.write(reinterpret_cast<const char*>(signature), 8);
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", packed);
    chunk(out, "IEND", {});
    return static_cast<bool>(out);
}

}  // namespace kalix::cli
