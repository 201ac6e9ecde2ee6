#include "session/reason_notices.h"

#include <algorithm>


namespace kalix::session {
namespace {

using protocol::Code;

struct ReasonNotice {
    std::int32_t reason;
    std::uint32_t lparam;
};

struct RefusalRow {
    std::initializer_list<Code> codes;
    std::initializer_list<ReasonNotice> notices;
};

// clang-format off
const RefusalRow kRefusals[] = {
    {{Code::BYE48},
     {{1, 0x30000}, {2, 0x30001}, {3, 0x30002}, {33, 0x30003}, {34, 0x30004},
      {35, 0x30005}, {36, 0x30006}, {-2, 0x30007}, {37, 0xF0000}}},
    {{Code::LIVE_NACK, Code::LIVE_STOP_NACK}, {{1, 0x50000}}},
    {{Code::REC_ON_NACK, Code::REC_OFF_NACK}, {{1, 0x50000}, {65, 0x50001}, {66, 0x50002}}},
    // Reason 83 of the month refusals raises no notice: the dialog gets an
    // empty table instead.
    {{Code::PLAY_INFO_MONTH_NACK, Code::TRANS_INFO_MONTH_NACK},
     {{1, 0x60000}, {53, 0x60004}, {86, 0x60003}, {98, 0x60006}}},
    {{Code::TRANS_INFO_DAY_NACK, Code::PLAY_ON_FAIL, Code::TRANS_ON_FAIL},
     {{1, 0x60000}, {53, 0x60004}, {83, 0x40000}, {86, 0x60003}, {98, 0x60006}}},
    {{Code::PLAY_INFO_DAY_NACK, Code::PLAY_ON_NACK, Code::EVENT_INFO_NACK, Code::EVENT_INFO_NACK_BYPG},
     {{1, 0x60000}, {53, 0x60004}, {83, 0x40000}, {98, 0x60006}}},
    {{Code::TRANS_ON_NACK},
     {{1, 0x60000}, {53, 0x60004}, {83, 0x40000}, {86, 0x60003}, {87, 0x60005}, {98, 0x60006}}},
    {{Code::PLAY_OFF_NACK, Code::TRANS_OFF_NACK, Code::REBOOT_NACK, Code::POWEROFF_NACK},
     {{1, 0x60000}, {2, 0x60001}}},
    {{Code::DB_INIT_NACK}, {{1, 0x60000}, {2, 0x60001}, {97, 0x60007}, {98, 0x60006}}},
    {{Code::DB48_INFO_NACK}, {{1, 0x60000}, {2, 0x60001}, {83, 0x40000}, {86, 0x60003}}},
    {{Code::DB_UPDATE_NACK}, {{1, 0x70000}, {81, 0x70001}, {51, 0x70002}, {97, 0x70003}}},
    {{Code::LOG_INFO_NACK, Code::SYSTEM_INFO_NACK, Code::STATUS_INFO_NACK},
     {{1, 0x60000}, {83, 0x40000}, {86, 0x60003}}},
    {{Code::SEND_TEST_MAIL_NACK}, {{1, 0x60000}}},
    {{Code::A_LISTEN_NACK},
     {{1, 0x60000}, {2, 0x60001}, {53, 0x60004}, {54, 0xC0000}, {55, 0xC0001}, {98, 0x60006}}},
};
// clang-format on

}  // namespace

std::optional<std::uint32_t> noticeForReason(std::uint16_t code, std::int32_t reason) {
    for (const RefusalRow& row : kRefusals) {
        const bool listed = std::any_of(row.codes.begin(), row.codes.end(), [&](Code c) {
            return static_cast<std::uint16_t>(c) == code;
        });
        if (!listed) continue;
        for (const ReasonNotice& n : row.notices)
            if (n.reason == reason) return n.lparam;
        return std::nullopt;
    }
    return std::nullopt;
}

bool talkRefusalStopsMicrophone(std::int32_t reason) {
    return reason == 2 || reason == 53 || reason == 55 || reason == 98;
}

}  // namespace kalix::session
