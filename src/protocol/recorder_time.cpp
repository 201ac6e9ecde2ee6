#include "protocol/recorder_time.h"

namespace kalix::protocol {

UtcOffset UtcOffset::fromSeconds(std::int32_t d) {
    return UtcOffset{d / 3600, (d % 3600) / 60, d % 60};
}

UtcOffset UtcOffset::measure(std::time_t now) {
    std::tm local{};
    std::tm utc{};
    localtime_r(&now, &local);
    gmtime_r(&now, &utc);
    const std::time_t a = std::mktime(&local);
    const std::time_t b = std::mktime(&utc);
    return fromSeconds(static_cast<std::int32_t>(a - b));
}

RecorderTime toRecorderTime(const DateTimeFields& f, const UtcOffset& offset) {
    std::tm t{};
    t.tm_year = f.year - 1900;
    t.tm_mon = f.month;
    t.tm_mday = f.day + 1;
    t.tm_hour = f.hour;
    t.tm_min = f.minute;
    t.tm_sec = f.second;
    t.tm_isdst = -1;
    std::time_t seconds = std::mktime(&t);
    seconds += offset.totalSeconds();
    if (t.tm_isdst > 0) seconds += 3600;
    return static_cast<RecorderTime>(seconds);
}

bool fromRecorderTime(RecorderTime time, DateTimeFields& fields) {
    const auto signed_time = static_cast<std::int32_t>(time);
    if (signed_time < 0) return false;
    const std::time_t t = signed_time;
    std::tm utc{};
    if (gmtime_r(&t, &utc) == nullptr) return false;
    fields = DateTimeFields{utc.tm_year + 1900, utc.tm_mon, utc.tm_mday - 1,
                            utc.tm_hour,        utc.tm_min, utc.tm_sec};
    return true;
}

std::uint32_t localWallClock(std::time_t utc_now, const UtcOffset& offset) {
    return static_cast<std::uint32_t>(utc_now + offset.totalSeconds());
}

}  // namespace kalix::protocol
