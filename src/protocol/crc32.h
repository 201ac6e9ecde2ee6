#pragma once
// The IEEE 802.3 CRC-32 (reflected 0xEDB88320, all-ones start and final XOR).

#include <cstdint>
#include <span>

namespace kalix::protocol {

std::uint32_t crc32(std::span<const std::uint8_t> bytes);

}  // namespace kalix::protocol
