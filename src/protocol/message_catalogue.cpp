#include "protocol/message_catalogue.h"

#include <algorithm>
#include <string>

namespace kalix::protocol {
namespace {

constexpr MessageSpec kCatalogue[] = {
{1, "HELLO", Direction::ToRecorder, PayloadRule::Exact, 32},
    {4, "BYE48", Direction::ToRecorder, PayloadRule::None, 0},
    {4, "BYE48", Direction::ToClient, PayloadRule::Reason, 0},
    {5, "HELLO48_ACK", Direction::ToClient, PayloadRule::Exact, 768},
    {16, "LIVE_REQ", Direction::ToRecorder, PayloadRule::Exact, 4},
    {17, "LIVE_CHANNEL_INFO", Direction::ToClient, PayloadRule::AtLeast, 4},
    {18, "LIVE_DATA", Direction::ToClient, PayloadRule::Fragmented, 0},
    {19, "LIVE_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {20, "LIVE_STOP", Direction::ToRecorder, PayloadRule::None, 0},
    {21, "LIVE_STOP_ACK", Direction::ToClient, PayloadRule::Ignored, 0},
    {22, "LIVE_STOP_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {23, "AUDIO_ONOFF_REQ", Direction::ToRecorder, PayloadRule::None, 0},
    {24, "SYS_ETC_INFO_EX", Direction::ToClient, PayloadRule::Exact, 3200},
    {32, "REC_ON_REQ", Direction::ToRecorder, PayloadRule::None, 0},
    {33, "REC_ON_ACK", Direction::ToClient, PayloadRule::AtLeast, 4},
    {34, "REC_ON_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {35, "REC_OFF_REQ", Direction::ToRecorder, PayloadRule::None, 0},
    {36, "REC_OFF_ACK", Direction::ToClient, PayloadRule::AtLeast, 4},
    {37, "REC_OFF_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {42, "PLAY_PREV_STEP", Direction::ToRecorder, PayloadRule::None, 0},
    {43, "PLAY_BACKWARD", Direction::ToRecorder, PayloadRule::Optional, 24},
    {44, "PLAY_FORWARD", Direction::ToRecorder, PayloadRule::Optional, 24},
    {45, "PLAY_PAUSE", Direction::ToRecorder, PayloadRule::None, 0},
    {46, "PLAY_NEXT_STEP", Direction::ToRecorder, PayloadRule::None, 0},
    {51, "PLAY_ON_REQ", Direction::ToRecorder, PayloadRule::Exact, 24},
    {52, "PLAY_CHANNEL_INFO", Direction::ToClient, PayloadRule::AtLeast, 4},
    {53, "PLAY_ON_ACK", Direction::ToClient, PayloadRule::Ignored, 0},
    {54, "PLAY_ON_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {55, "RPLAY_STOP", Direction::ToRecorder, PayloadRule::None, 0},
    {56, "PLAY_OFF_ACK", Direction::ToClient, PayloadRule::Ignored, 0},
    {57, "PLAY_OFF_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {61, "PLAY_STEP_DATA", Direction::ToRecorder, PayloadRule::Exact, 4},
    {62, "PLAY_CH_CHANGE", Direction::ToRecorder, PayloadRule::Exact, 4},
    {63, "PLAY_DATA_FINISH", Direction::ToClient, PayloadRule::Ignored, 0},
    {64, "EVENT_PLAY_REQ", Direction::ToRecorder, PayloadRule::Exact, 24},
    {65, "PLAY_ABSTIME_CHANGE", Direction::ToClient, PayloadRule::Exact, 8},
    {80, "PLAY_VIEW_CH", Direction::ToRecorder, PayloadRule::Exact, 4},
    {99, "TRANS_ON_REQ", Direction::ToRecorder, PayloadRule::Exact, 24},
    {101, "TRANS_ON_ACK", Direction::ToClient, PayloadRule::AtLeast, 4},
    {102, "TRANS_OFF_REQ", Direction::ToRecorder, PayloadRule::None, 0},
    {102, "TRANS_ON_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {104, "TRANS_OFF_ACK", Direction::ToClient, PayloadRule::Ignored, 0},
    {105, "TRANS_OFF_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {106, "EVENT_JUMP_FORWARD", Direction::ToRecorder, PayloadRule::Exact, 16},
    {107, "EVENT_JUMP_BACKWARD", Direction::ToRecorder, PayloadRule::Exact, 16},
    {113, "DB_INFO_ACK", Direction::ToClient, PayloadRule::Fragmented, 0},
    {114, "DB48_INFO_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {115, "DB_UPDATE_REQ", Direction::ToRecorder, PayloadRule::Variable, 0},
    {116, "DB_UPDATE_ACK", Direction::ToClient, PayloadRule::Ignored, 0},
    {117, "DB_UPDATE_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {125, "DST_INFO", Direction::ToClient, PayloadRule::Exact, 1204},
    {127, "DVR_TIME_ACK", Direction::ToClient, PayloadRule::AtLeast, 4},
    {144, "FW_UPDATE_REQ", Direction::ToRecorder, PayloadRule::Exact, 56},
    {145, "FW_UPDATE_ACK", Direction::ToClient, PayloadRule::Ignored, 0},
    {146, "FW_DATA", Direction::ToRecorder, PayloadRule::Fragmented, 0},
    {153, "NETLIVE_CH_CHANGE", Direction::ToClient, PayloadRule::Exact, 928},
    {256, "REC_STATUS", Direction::ToClient, PayloadRule::Exact, 16},
    {257, "CODE_257", Direction::ToClient, PayloadRule::Exact, 12},
    {258, "DB_CHANGE", Direction::ToClient, PayloadRule::Exact, 596},
    {259, "SYS_ETC_INFO", Direction::ToClient, PayloadRule::Exact, 320},
    {260, "PLAY_INFO_MONTH_REQ", Direction::ToRecorder, PayloadRule::None, 0},
    {261, "PLAY_INFO_MONTH_ACK", Direction::ToClient, PayloadRule::Fragmented, 0},
    {262, "PLAY_INFO_MONTH_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {263, "PLAY_INFO_DAY_REQ", Direction::ToRecorder, PayloadRule::Exact, 8},
    {264, "PLAY_INFO_DAY_ACK", Direction::ToClient, PayloadRule::Fragmented, 0},
    {265, "PLAY_INFO_DAY_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {266, "PLAY_DATA", Direction::ToClient, PayloadRule::Fragmented, 0},
    {267, "PLAY_ON_FAIL", Direction::ToClient, PayloadRule::Reason, 0},
    {268, "PLAY_ON_DONE", Direction::ToClient, PayloadRule::Ignored, 0},
    {270, "RIGHT_CHANGE", Direction::ToClient, PayloadRule::Exact, 584},
    {271, "RIGHT_CHANGE2", Direction::ToClient, PayloadRule::Exact, 3650},
    {272, "A_LISTEN_REQ", Direction::ToRecorder, PayloadRule::None, 0},
    {273, "A_LISTEN_ACK", Direction::ToClient, PayloadRule::Ignored, 0},
    {274, "A_LISTEN_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {275, "A_LISTEN_DATA", Direction::ToRecorder, PayloadRule::Variable, 0},
    {276, "A_LISTEN_STOP_REQ", Direction::ToRecorder, PayloadRule::None, 0},
    {277, "A_LISTEN_STOP_ACK", Direction::ToClient, PayloadRule::Ignored, 0},
    {282, "PTZ_CHANNEL_REQ", Direction::ToRecorder, PayloadRule::Exact, 4},
    {283, "PTZ_CHANNEL_ACK", Direction::ToClient, PayloadRule::AtLeast, 1},
    {284, "PTZ_MOVE_REQ", Direction::ToRecorder, PayloadRule::Exact, 4},
    {285, "PTZ_MOVE_STOP", Direction::ToRecorder, PayloadRule::None, 0},
    {288, "TRANS_INFO_MONTH_REQ", Direction::ToRecorder, PayloadRule::None, 0},
    {289, "TRANS_INFO_MONTH_ACK", Direction::ToClient, PayloadRule::Fragmented, 0},
    {290, "TRANS_INFO_MONTH_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {291, "TRANS_INFO_DAY_REQ", Direction::ToRecorder, PayloadRule::Exact, 8},
    {292, "TRANS_INFO_DAY_ACK", Direction::ToClient, PayloadRule::Fragmented, 0},
    {293, "TRANS_INFO_DAY_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {294, "TRANS_DATA_REQ", Direction::ToRecorder, PayloadRule::Exact, 24},
    {295, "TRANS_ON_DATA", Direction::ToClient, PayloadRule::Fragmented, 0},
    {297, "TRANS_ON_DONE", Direction::ToClient, PayloadRule::Ignored, 0},
    {298, "TRANS_ON_FAIL", Direction::ToClient, PayloadRule::Reason, 0},
    {299, "CAPA_CAL_CANCEL", Direction::ToRecorder, PayloadRule::None, 0},
    {304, "FW_UPDATE_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {305, "FW_DATA_RX_DONE", Direction::ToClient, PayloadRule::Ignored, 0},
    {306, "FW_DATA_RX_FAIL", Direction::ToClient, PayloadRule::Reason, 0},
    {307, "FW_UPDATE_DONE", Direction::ToClient, PayloadRule::Ignored, 0},
    {308, "FW_UPDATE_FAIL", Direction::ToClient, PayloadRule::Reason, 0},
    {320, "LOG_INFO_REQ", Direction::ToRecorder, PayloadRule::None, 0},
    {321, "LOG_INFO_ACK", Direction::ToClient, PayloadRule::Fragmented, 0},
    {322, "LOG_INFO_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {324, "SYSTEM_INFO_ACK", Direction::ToClient, PayloadRule::Fragmented, 0},
    {325, "SYSTEM_INFO_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {326, "STATUS_INFO_REQ", Direction::ToRecorder, PayloadRule::None, 0},
    {327, "STATUS_INFO_ACK", Direction::ToClient, PayloadRule::Fragmented, 0},
    {328, "STATUS_INFO_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {330, "EVENT_INFO_ACK", Direction::ToClient, PayloadRule::Fragmented, 0},
    {331, "EVENT_INFO_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {332, "EVENT_INFO_REQ", Direction::ToRecorder, PayloadRule::Exact, 8},
    {333, "EVENT_INFO_ACK_BYPG", Direction::ToClient, PayloadRule::Fragmented, 0},
    {334, "EVENT_INFO_NACK_BYPG", Direction::ToClient, PayloadRule::Reason, 0},
    {336, "DB_INIT_REQ", Direction::ToRecorder, PayloadRule::None, 0},
    {337, "DB_INIT_ACK", Direction::ToClient, PayloadRule::Ignored, 0},
    {338, "DB_INIT_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {340, "SEND_TEST_MAIL_ACK", Direction::ToClient, PayloadRule::Ignored, 0},
    {341, "SEND_TEST_MAIL_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {342, "REBOOT_REQ", Direction::ToRecorder, PayloadRule::None, 0},
    {343, "REBOOT_ACK", Direction::ToClient, PayloadRule::Ignored, 0},
    {344, "REBOOT_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {346, "POWEROFF_ACK", Direction::ToClient, PayloadRule::Ignored, 0},
    {347, "POWEROFF_NACK", Direction::ToClient, PayloadRule::Reason, 0},
    {352, "CAM_INFO_CHANGE", Direction::ToClient, PayloadRule::Exact, 16},
    {353, "RIGHT_PRESET_CHANGE", Direction::ToClient, PayloadRule::Exact, 58},
    {511, "KEEP_ALIVE", Direction::ToRecorder, PayloadRule::None, 0},
};

}  // namespace

bool MessageSpec::acceptsLength(std::uint32_t len) const {
    switch (rule) {
    case PayloadRule::None: return len == 0;
    case PayloadRule::Exact: return len == size;
    case PayloadRule::AtLeast: return len >= size;
    case PayloadRule::Optional: return len == 0 || len == size;
    case PayloadRule::Variable:
    case PayloadRule::Fragmented:
    case PayloadRule::Reason:
    case PayloadRule::Ignored: return true;
    }
    return false;
}

std::span<const MessageSpec> messageCatalogue() { return kCatalogue; }

const MessageSpec* findMessage(std::uint16_t code, Direction direction) {
    const auto it = std::find_if(std::begin(kCatalogue), std::end(kCatalogue),
                                 [&](const MessageSpec& m) {
                                     return m.code == code && m.direction == direction;
                                 });
    return it == std::end(kCatalogue) ? nullptr : &*it;
}

std::string messageName(std::uint16_t code, Direction direction) {
    if (const MessageSpec* m = findMessage(code, direction)) return std::string(m->name);
    return "CODE_" + std::to_string(code);
}

}  // namespace kalix::protocol
