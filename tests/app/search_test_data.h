#pragma once
// Search answers as the recorder sends them, for the remote search tests.

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "app/recording_calendar.h"
#include "protocol/byte_order.h"

namespace kalix::app::testing {

// One year record with the given (month0, day0) days marked.
inline std::vector<std::uint8_t> yearRecord(int year, std::initializer_list<std::pair<int, int>> days) {
    std::vector<std::uint8_t> r(kMonthRecordSize, 0);
    protocol::putBe32(r.data(), static_cast<std::uint32_t>(year));
    for (auto [m, d] : days) r[4 + static_cast<std::size_t>(m * 31 + d)] = 1;
    return r;
}

inline void append(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

inline std::vector<std::uint8_t> dayRecord(std::uint32_t mask, std::uint8_t kind_bits, std::uint32_t start,
                                           std::uint32_t end) {
    std::vector<std::uint8_t> r(24, 0);
    protocol::putBe32(r.data(), mask);
    r[4] = kind_bits;
    protocol::putBe32(r.data() + 16, start);
    protocol::putBe32(r.data() + 20, end);
    return r;
}

inline std::vector<std::uint8_t> eventRecord(std::uint32_t mask, std::uint8_t kind, std::uint8_t token_first,
                                             std::uint32_t time) {
    std::vector<std::uint8_t> r(24, 0);
    protocol::putBe32(r.data(), mask);
    r[4] = kind;
    for (int i = 0; i < 8; ++i) r[8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(token_first + i);
    protocol::putBe32(r.data() + 16, time);
    protocol::putBe32(r.data() + 20, time + 60);
    return r;
}

}  // namespace kalix::app::testing
