#pragma once
// Recorder log entries and operation log files for the log page tests.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "protocol/byte_order.h"
#include "session/remote_log_entry.h"

namespace kalix::app::testing {

inline session::RemoteLogEntry logEntry(std::uint32_t number, std::uint32_t category, std::uint32_t type,
                                        std::int32_t time, std::uint32_t parameter = 0, std::string_view text = {},
                                        std::string_view user = {}) {
    session::RemoteLogEntry e;
    e.number = number;
    e.size = 200;
    e.category = category;
    e.type = type;
    e.time = time;
    e.parameter = parameter;
    std::copy_n(text.begin(), std::min(text.size(), e.text.size()), e.text.begin());
    std::copy_n(user.begin(), std::min(user.size(), e.user.size()), e.user.begin());
    return e;
}

// An operation log file: header, then `records` records of `size` bytes
// (category, action, time, user, address), little-endian.
struct LocalRecord {
    std::uint32_t category;
    std::uint32_t action;
    std::uint32_t time;
    std::string_view user = {};
    std::string_view address = {};
};

inline std::vector<std::uint8_t> localLogFile(bool wrapped, std::uint32_t next, const std::vector<LocalRecord>& records,
                                              std::uint32_t size = 184) {
    std::vector<std::uint8_t> f(8 + records.size() * std::max<std::uint32_t>(size, 1));
    protocol::putLe32(f.data(), wrapped ? 1 : 0);
    protocol::putLe32(f.data() + 4, next);
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::uint8_t* r = f.data() + 8 + i * std::max<std::uint32_t>(size, 1);
        if (size < 184) {
            if (i == 0 && size >= 8) protocol::putLe32(r + 4, size);
            continue;
        }
        protocol::putLe32(r + 4, size);
        protocol::putLe32(r + 8, records[i].category);
        protocol::putLe32(r + 12, records[i].action);
        protocol::putLe32(r + 16, records[i].time);
        std::copy_n(records[i].address.begin(), records[i].address.size(), r + 24);
        std::copy_n(records[i].user.begin(), records[i].user.size(), r + 152);
    }
    return f;
}

}  // namespace kalix::app::testing
