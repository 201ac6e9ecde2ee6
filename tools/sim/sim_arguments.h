#pragma once
// The simulator's command line, piece by piece: the reader that walks the
// options and the parsers of their values. Each parser gives nothing for a
// value it does not take.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "sim/sim_config.h"

namespace kalix::sim::detail {

inline constexpr double kMaxCloseAfterSeconds = 1e6;

// Decimal, or hexadecimal with a 0x prefix, up to `max`.
std::optional<std::uint64_t> parseUnsigned(std::string_view text, std::uint64_t max);

std::optional<std::int32_t> parseSigned(std::string_view text);

std::optional<std::uint8_t> parseByte(std::string_view text);

std::optional<std::uint16_t> parseWord16(std::string_view text);

// "1.5" -> 1500 ms.
std::optional<std::chrono::milliseconds> parseSeconds(std::string_view text);

// "00-1c-2d-3e-4f-50", colons allowed as well.
std::optional<std::array<std::uint8_t, 6>> parseMac(std::string_view text);

// "MAJ.MIN" with both parts bytes.
std::optional<std::pair<std::uint8_t, std::uint8_t>> parseVersions(std::string_view text);

// "704x576", one of the recorder's sizes.
std::optional<PictureSize> parseSize(std::string_view text);

std::optional<std::uint8_t> parseFramesPerSecond(std::string_view text);

// Nine digits 0 or 1: rights rows 0-8.
std::optional<RightsBits> parseRights(std::string_view text);

// "C:VALUE" with a channel 0-15.
template <typename Parse>
auto parseForChannel(std::string_view text, Parse parse)
    -> std::optional<std::pair<std::size_t, typename decltype(parse(text))::value_type>> {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto channel = parseUnsigned(text.substr(0, colon), kVideoChannels - 1);
    const auto value = parse(text.substr(colon + 1));
    if (!channel || !value) return std::nullopt;
    return std::pair{static_cast<std::size_t>(*channel), *value};
}

class ArgumentReader {
public:
    ArgumentReader(std::span<const std::string_view> args, std::string& error)
        : args_(args), error_(error) {}

    bool atEnd() const { return next_ >= args_.size(); }

    // The next option name; a "--name=value" form keeps its value for value().
    std::string_view option() {
        std::string_view arg = args_[next_++];
        inline_value_.reset();
        if (arg.starts_with("--")) {
            const auto eq = arg.find('=');
            if (eq != std::string_view::npos) {
                inline_value_ = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
            }
        }
        current_ = arg;
        return arg;
    }

    std::optional<std::string_view> value() {
        if (inline_value_) return std::exchange(inline_value_, std::nullopt);
        if (atEnd()) {
            fail("needs a value");
            return std::nullopt;
        }
        return args_[next_++];
    }

    bool hadStrayValue() const { return inline_value_.has_value(); }

    bool fail(std::string_view why) {
        error_ = std::string(current_) + ": " + std::string(why);
        return false;
    }

private:
    std::span<const std::string_view> args_;
    std::string& error_;
    std::size_t next_ = 0;
    std::string_view current_;
    std::optional<std::string_view> inline_value_;
};

// Reads one option's value through `parse` into `target`.
template <typename Parse, typename Target>
bool take(ArgumentReader& reader, Parse parse, Target& target, std::string_view what) {
    const auto text = reader.value();
    if (!text) return false;
    const auto parsed = parse(*text);
    if (!parsed) return reader.fail("expected " + std::string(what) + ", got '" + std::string(*text) + "'");
    target = *parsed;
    return true;
}

}  // namespace kalix::sim::detail
