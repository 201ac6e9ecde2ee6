#include "protocol/crc32.h"

#include <zlib.h>

#include <algorithm>

namespace kalix::protocol {

std::uint32_t crc32(std::span<const std::uint8_t> bytes) {
    uLong crc = ::crc32(0L, Z_NULL, 0);
    // zlib takes at most a uInt per call.
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size() - done, 1u << 30);
        crc = ::crc32(crc, bytes.data() + done, static_cast<uInt>(chunk));
        done += chunk;
    }
    return static_cast<std::uint32_t>(crc);
}

}  // namespace kalix::protocol
