#pragma once
// Times on kalix-cli's command line: "YYYY-MM-DDTHH:MM:SS" on the recorder's
// clock (no time zone), or whole seconds since 1970.

#include <optional>
#include <string_view>

#include "protocol/recorder_time.h"

namespace kalix::cli {

std::optional<protocol::RecorderTime> parseTimeArg(std::string_view text);
// "YYYY-MM-DD" `separator` "HH:MM:SS" alone.
std::optional<protocol::RecorderTime> parseDateTime(std::string_view text, char separator);

}  // namespace kalix::cli
