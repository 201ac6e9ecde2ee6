#include "cli/time_arg.h"

#include <charconv>
#include <cstdint>

namespace kalix::cli {
namespace {

std::optional<int> digits(std::string_view text) {
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return text.empty() ? std::nullopt : std::optional<int>(value);
}

}  // namespace

std::optional<protocol::RecorderTime> parseDateTime(std::string_view text, char separator) {
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != separator || text[13] != ':' ||
        text[16] != ':')
        return std::nullopt;
    const auto y = digits(text.substr(0, 4));
    const auto mo = digits(text.substr(5, 2));
    const auto d = digits(text.substr(8, 2));
    const auto h = digits(text.substr(11, 2));
    const auto mi = digits(text.substr(14, 2));
    const auto s = digits(text.substr(17, 2));
    if (!y || !mo || !d || !h || !mi || !s) return std::nullopt;
    return protocol::recorderTimeOf(*y, *mo, *d, *h, *mi, *s);
}

std::optional<protocol::RecorderTime> parseTimeArg(std::string_view text) {
    if (text.size() == 19) return parseDateTime(text, 'T');
    std::uint64_t seconds = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || seconds > 0xFFFFFFFFu)
        return std::nullopt;
    return static_cast<protocol::RecorderTime>(seconds);
}

}  // namespace kalix::cli
