#include "session/refusals.h"

#include "protocol/transport.h"
#include "session/reason_notices.h"

namespace kalix::session {

using protocol::Code;

namespace {

// The recorder's reason for a month search without recordings.
constexpr std::int32_t kNothingRecorded = 83;

}  // namespace

void postRefusal(EventSink& sink, const protocol::MessageHeader& header, std::span<const std::uint8_t> payload) {
    const auto code = static_cast<Code>(header.code());
    const std::int32_t reason = protocol::ReplyCode(payload);
    Owner owner = Owner::MainWindow;
    switch (code) {
    case Code::TRANS_INFO_MONTH_NACK:
        if (reason == kNothingRecorded)
            sink.post(WindowPost{WindowMessage::DownloadMonthTableReady, Owner::RemoteSearch});
        break;
    default: break;
    }
    if (const auto notice = noticeForReason(header.code(), reason)) sink.post(Notice::fromLParam(*notice, owner));
}

}  // namespace kalix::session
