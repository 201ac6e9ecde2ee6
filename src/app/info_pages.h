#pragma once
// The System Info and Status Info pages of the remote search dialog
// without their widgets: three columns per row (label, value, a third),
// empty rows included.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/log_pages.h"
#include "session/recorder_identity.h"

namespace kalix::app {

inline constexpr std::array<int, 3> kSystemInfoColumns{130, 140, 120};
inline constexpr std::array<int, 3> kStatusInfoColumns{130, 170, 100};

// "  512 MByte", "    2 GByte", "  1.50 TByte".
std::string storageSizeText(std::uint64_t mbyte);

struct SystemInfoSource {
    std::string address;
    std::uint16_t port = 0;
    std::string description;  // given at connection
    session::RecorderIdentity identity;  // MAC, versions and firmware modules
};

std::vector<ListRow> systemInfoRows(const SystemInfoSource& source);

// `reply`: the STATUS_INFO_ACK (only its first 56 bytes are read);
// `channels`: the login answer's channel count (16 without a session).
std::vector<ListRow> statusInfoRows(std::span<const std::uint8_t> reply, int channels);

}  // namespace kalix::app
