#include "sim/sim_arguments.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kalix::sim::detail {

// Decimal, or hexadecimal with a 0x prefix.
std::optional<std::uint64_t> parseUnsigned(std::string_view text, std::uint64_t max) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc{} || end != text.data() + text.size() || value > max) return std::nullopt;
    return value;
}

std::optional<std::int32_t> parseSigned(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::uint8_t> parseByte(std::string_view text) {
    const auto v = parseUnsigned(text, 0xFF);
    if (!v) return std::nullopt;
    return static_cast<std::uint8_t>(*v);
}

std::optional<std::uint16_t> parseWord16(std::string_view text) {
    const auto v = parseUnsigned(text, 0xFFFF);
    if (!v) return std::nullopt;
    return static_cast<std::uint16_t>(*v);
}

// "1.5" -> 1500 ms.
std::optional<std::chrono::milliseconds> parseSeconds(std::string_view text) {
    double seconds = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() ||
        !std::isfinite(seconds) || seconds < 0 || seconds > kMaxCloseAfterSeconds) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(std::llround(seconds * 1000.0));
}

// "00-1c-2d-3e-4f-50", colons allowed as well.
std::optional<std::array<std::uint8_t, 6>> parseMac(std::string_view text) {
    std::array<std::uint8_t, 6> mac{};
    if (text.size() != 17) return std::nullopt;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const std::string_view pair = text.substr(i * 3, 2);
        if (i < 5 && text[i * 3 + 2] != '-' && text[i * 3 + 2] != ':') return std::nullopt;
        std::uint8_t byte = 0;
        const auto [end, ec] = std::from_chars(pair.data(), pair.data() + 2, byte, 16);
        if (ec != std::errc{} || end != pair.data() + 2) return std::nullopt;
        mac[i] = byte;
    }
    return mac;
}

// "MAJ.MIN" with both parts bytes.
std::optional<std::pair<std::uint8_t, std::uint8_t>> parseVersions(std::string_view text) {
    const auto dot = text.find('.');
    if (dot == std::string_view::npos) return std::nullopt;
    const auto major = parseByte(text.substr(0, dot));
    const auto minor = parseByte(text.substr(dot + 1));
    if (!major || !minor) return std::nullopt;
    return std::pair{*major, *minor};
}

// "704x576", one of the recorder's sizes.
std::optional<PictureSize> parseSize(std::string_view text) {
    const auto x = text.find('x');
    if (x == std::string_view::npos) return std::nullopt;
    const auto w = parseUnsigned(text.substr(0, x), 0xFFFF);
    const auto h = parseUnsigned(text.substr(x + 1), 0xFFFF);
    if (!w || !h) return std::nullopt;
    const PictureSize size{static_cast<std::uint16_t>(*w), static_cast<std::uint16_t>(*h)};
    if (!isRecorderPictureSize(size)) return std::nullopt;
    return size;
}

std::optional<std::uint8_t> parseFramesPerSecond(std::string_view text) {
    const auto v = parseUnsigned(text, kMaxFramesPerSecond);
    if (!v || *v == 0) return std::nullopt;
    return static_cast<std::uint8_t>(*v);
}

// Nine digits 0 or 1: rights rows 0-8.
std::optional<RightsBits> parseRights(std::string_view text) {
    if (text.size() != kRightRows) return std::nullopt;
    RightsBits bits{};
    for (std::size_t i = 0; i < kRightRows; ++i) {
        if (text[i] != '0' && text[i] != '1') return std::nullopt;
        bits[i] = static_cast<std::uint8_t>(text[i] - '0');
    }
    return bits;
}

}  // namespace kalix::sim::detail
