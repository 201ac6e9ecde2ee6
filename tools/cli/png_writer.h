#pragma once
// Writes 24-bit RGB pictures as PNG files (kalix-cli's snapshots).

#include <cstdint>
#include <filesystem>
#include <span>

namespace kalix::cli {

// Rows top to bottom, 3 bytes a pixel. False when the file cannot be
// written or the sizes do not fit the pixels given.
bool writePng(const std::filesystem::path& path, std::span<const std::uint8_t> rgb, int width, int height);

}  // namespace kalix::cli
