#pragma once
// A refusal (_NACK, _FAIL) that no feature takes: its reason raises the
// notice the reason table gives, and a month search that found nothing
// wakes the calendar with an empty table.

#include <cstdint>
#include <span>

#include "protocol/message_header.h"
#include "session/event_sink.h"

namespace kalix::session {

void postRefusal(EventSink& sink, const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);

}  // namespace kalix::session
