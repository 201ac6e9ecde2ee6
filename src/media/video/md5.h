#pragma once
// MD5 of a byte span, for picture checksums (kalix-cli live, tests).

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace kalix::media {

std::array<std::uint8_t, 16> md5(std::span<const std::uint8_t> bytes);
std::string md5Hex(std::span<const std::uint8_t> bytes);

}  // namespace kalix::media
