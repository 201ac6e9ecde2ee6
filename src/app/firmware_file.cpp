#include "app/firmware_file.h"

#include <algorithm>
#include <cstring>

#include "protocol/byte_order.h"
#include "protocol/recorder_time.h"

namespace kalix::app {
namespace {

constexpr std::string_view kBootMark = "VBoot";
constexpr std::size_t kBootMarkAt = 3;
constexpr std::size_t kSecondBootMarkAt = 67;
constexpr std::size_t kNewNameAt = 32;
constexpr std::size_t kNewStampAt = 8;
constexpr std::size_t kBootModelAt = 68;
constexpr std::size_t kBootModelLength = 10;
constexpr std::size_t kBootTextAt = 64;
constexpr std::size_t kPlainModelAt = 4;
constexpr std::size_t kPlainModelLength = 11;
constexpr std::size_t kPlainTextAt = 0;
constexpr std::size_t kOldNameLength = 15;

// Distances from the "(" of the date text.
constexpr std::size_t kMonthAt = 1;
constexpr std::size_t kDayAt = 5;
constexpr std::size_t kYearAt = 8;
constexpr std::size_t kHourAt = 15;
constexpr std::size_t kMinuteAt = 18;
constexpr std::size_t kSecondAt = 21;
constexpr std::size_t kDateSpan = kSecondAt + 2;  // "(" up to the last digit of the seconds

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool markAt(std::span<const std::uint8_t> h, std::size_t at) {
    return std::memcmp(h.data() + at, kBootMark.data(), kBootMark.size()) == 0;
}

// The bytes at `at`, cut at `length` and at their first zero byte.
std::string_view textAt(std::span<const std::uint8_t> h, std::size_t at, std::size_t length) {
    const auto* p = reinterpret_cast<const char*>(h.data() + at);
    return {p, strnlen(p, length)};
}

std::string_view moduleName(const RecorderModule& m) {
    return {m.name.data(), strnlen(m.name.data(), std::min(m.name.size(), kModuleNameSize))};
}

// A decimal number as a C library reads one: blanks first, then digits up
// to the first other byte. At least one digit; never past `end`.
std::optional<int> numberAt(std::span<const std::uint8_t> h, std::size_t at, std::size_t end) {
    while (at < end && (h[at] == ' ' || h[at] == '\t')) ++at;
    int value = 0;
    std::size_t digits = 0;
    while (at < end && h[at] >= '0' && h[at] <= '9' && digits < 6) {
        value = value * 10 + (h[at] - '0');
        ++at;
        ++digits;
    }
    if (digits == 0) return std::nullopt;
    return value;
}

}  // namespace

std::string_view refusalText(FirmwareRefusal refusal) {
    switch (refusal) {
    case FirmwareRefusal::Truncated: return "shorter than its 256-byte header";
    case FirmwareRefusal::OtherModel: return "for another model";
    case FirmwareRefusal::NoDateText: return "can't find < ( >";
    case FirmwareRefusal::BadMonth: return "can't find month!";
    case FirmwareRefusal::BadDate: return "no valid date in its version text";
    }
    return "refused";
}

std::variant<std::uint32_t, FirmwareRefusal> firmwareDateStamp(std::span<const std::uint8_t> header,
                                                                std::size_t start) {
    const std::size_t size = std::min(header.size(), kFirmwareHeaderSize);
    if (start >= size) return FirmwareRefusal::NoDateText;
    const auto* end = header.data() + size;
    const auto* found = std::find(header.data() + start, end, std::uint8_t{'('});
    if (found == end) return FirmwareRefusal::NoDateText;
    const auto paren = static_cast<std::size_t>(found - header.data());
    if (paren + kDateSpan > size) return FirmwareRefusal::NoDateText;

    const std::string_view month(reinterpret_cast<const char*>(header.data() + paren + kMonthAt), 3);
    const auto m = std::find(kMonths.begin(), kMonths.end(), month);
    if (m == kMonths.end()) return FirmwareRefusal::BadMonth;

    const auto day = numberAt(header, paren + kDayAt, size);
    const auto year = numberAt(header, paren + kYearAt, size);
    const auto hour = numberAt(header, paren + kHourAt, size);
    const auto minute = numberAt(header, paren + kMinuteAt, size);
    const auto second = numberAt(header, paren + kSecondAt, size);
    if (!day || !year || !hour || !minute || !second) return FirmwareRefusal::BadDate;
    const auto stamp = protocol::recorderTimeOf(*year, static_cast<int>(m - kMonths.begin()) + 1, *day, *hour,
                                                *minute, *second);
    if (!stamp) return FirmwareRefusal::BadDate;
    return *stamp;
}

FirmwareCheck checkFirmwareHeader(std::span<const std::uint8_t> head, std::span<const RecorderModule> modules) {
    if (head.size() < kFirmwareHeaderSize) return FirmwareRefusal::Truncated;
    head = head.first(kFirmwareHeaderSize);
    const std::string_view first_module = modules.empty() ? std::string_view{} : moduleName(modules.front());

    FirmwareHeader out;
    std::size_t text_at = 0;
    if (markAt(head, kBootMarkAt) && markAt(head, kSecondBootMarkAt)) {
        out.form = FirmwareForm::New;
        const std::string_view name = textAt(head, kNewNameAt, kModuleNameSize);
        if (name.empty()) return FirmwareRefusal::OtherModel;
        const auto match = std::find_if(modules.begin(), modules.end(),
                                        [&](const RecorderModule& m) { return moduleName(m) == name; });
        if (match == modules.end() || match - modules.begin() >= static_cast<std::ptrdiff_t>(kFirmwareModules))
            return FirmwareRefusal::OtherModel;
        out.module = static_cast<std::uint8_t>(match - modules.begin());
        out.stamp = protocol::be32(head.data() + kNewStampAt);
        std::copy_n(head.begin() + kNewNameAt, kModuleNameSize, out.name.begin());
        return out;
    }
    if (markAt(head, kBootMarkAt)) {
        out.form = FirmwareForm::OldBootMark;
        const std::string_view model = textAt(head, kBootModelAt, kBootModelLength);
        if (model.empty() || model != first_module) return FirmwareRefusal::OtherModel;
        text_at = kBootTextAt;
    } else {
        out.form = FirmwareForm::OldPlain;
        const std::string_view model = textAt(head, kPlainModelAt, kPlainModelLength);
        if (model.empty() || model != first_module) return FirmwareRefusal::OtherModel;
        text_at = kPlainTextAt;
    }
    const auto stamp = firmwareDateStamp(head, text_at);
    if (const auto* refusal = std::get_if<FirmwareRefusal>(&stamp)) return *refusal;
    out.stamp = std::get<std::uint32_t>(stamp);
    out.module = 0;
    std::copy_n(head.begin() + static_cast<std::ptrdiff_t>(text_at), kOldNameLength, out.name.begin());
    return out;
}

}  // namespace kalix::app
