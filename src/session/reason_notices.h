#pragma once
// Which operator notice a refusal's reason code raises, message by message.
// The same reason gives the same notice whatever the message; a reason that
// is not listed for a message raises nothing.

#include <cstdint>
#include <optional>

#include "protocol/message_catalogue.h"

namespace kalix::session {

// lParam of the notice (kind x 65536 + detail) for `reason` in the refusal
// `code` from the recorder, or nothing.
std::optional<std::uint32_t> noticeForReason(std::uint16_t code, std::int32_t reason);

// A_LISTEN_NACK reasons that end the talk link before their notice.
bool talkRefusalStopsMicrophone(std::int32_t reason);

}  // namespace kalix::session
