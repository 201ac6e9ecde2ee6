#include "app/client_profile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <iterator>

namespace kalix::app {
namespace {

constexpr std::uint8_t kCarriageReturn = 0x0D;
constexpr std::uint8_t kLineFeed = 0x0A;

std::string upper(std::string_view text) {
    std::string out(text);
    std::ranges::transform(out, out.begin(),
                           [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    return out;
}

}  // namespace

DateFormat ClientProfile::defaultDateFormat() const {
    const std::string u = upper(date_format);
    if (u == "MM-DD-YYYY") return DateFormat::MonthDayYear;
    if (u == "DD-MM-YYYY") return DateFormat::DayMonthYear;
    return DateFormat::YearMonthDay;
}

DrawMode ClientProfile::defaultDrawMode() const {
    return upper(draw_mode) == "RGB" ? DrawMode::Rgb : DrawMode::Yuv;
}

ClientProfile parseClientProfile(std::span<const std::uint8_t> bytes) {
    ClientProfile profile;
    const std::array<std::string*, 4> lines{&profile.title, &profile.folder_word, &profile.date_format,
                                            &profile.draw_mode};
    std::size_t at = 0;
    for (std::string* line : lines) {
        if (at >= bytes.size()) break;
        std::string text;
        for (; at < bytes.size(); ++at) {
            const std::uint8_t b = bytes[at];
            if (b == kCarriageReturn) {
                ++at;
                break;
            }
            if (b == kLineFeed) continue;
            if (text.size() < kProfileLineCapacity) text.push_back(static_cast<char>(b));
        }
        if (!text.empty()) *line = std::move(text);
    }
    return profile;
}

ClientProfile loadClientProfile(const std::vector<std::filesystem::path>& candidates) {
    for (const auto& path : candidates) {
        std::ifstream in(path, std::ios::binary);
        if (!in) continue;
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        return parseClientProfile(bytes);
    }
    return ClientProfile{};
}

}  // namespace kalix::app
