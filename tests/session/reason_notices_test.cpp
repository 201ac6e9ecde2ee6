#include "session/reason_notices.h"

#include <gtest/gtest.h>

namespace kalix::session {
namespace {

using protocol::Code;

std::optional<std::uint32_t> notice(Code code, std::int32_t reason) {
    return noticeForReason(static_cast<std::uint16_t>(code), reason);
}

TEST(ReasonNotices, SameReasonSameNoticeAcrossMessages) {
    for (Code c : {Code::TRANS_INFO_DAY_NACK, Code::PLAY_ON_FAIL, Code::TRANS_ON_FAIL, Code::PLAY_ON_NACK,
                   Code::TRANS_ON_NACK, Code::DB48_INFO_NACK, Code::LOG_INFO_NACK})
        EXPECT_EQ(notice(c, 83), 0x40000u);
    EXPECT_EQ(notice(Code::DB_UPDATE_NACK, 1), 0x70000u);
    EXPECT_EQ(notice(Code::LIVE_NACK, 1), 0x50000u);
    EXPECT_EQ(notice(Code::A_LISTEN_NACK, 54), 0xC0000u);
}

TEST(ReasonNotices, UnlistedReasonsAndMessagesRaiseNothing) {
    EXPECT_FALSE(notice(Code::PLAY_INFO_MONTH_NACK, 83));  // the calendar gets an empty table instead
    EXPECT_FALSE(notice(Code::PLAY_INFO_DAY_NACK, 86));
    EXPECT_FALSE(notice(Code::BYE48, 4));
    EXPECT_FALSE(notice(Code::BYE48, -99));
    EXPECT_FALSE(notice(Code::BYE48, -100));
    EXPECT_FALSE(notice(Code::LIVE_STOP_NACK, 2));
    EXPECT_FALSE(noticeForReason(300, 1));
    EXPECT_EQ(notice(Code::TRANS_ON_NACK, 87), 0x60005u);
    EXPECT_FALSE(notice(Code::TRANS_ON_FAIL, 87));
}

TEST(ReasonNotices, TalkRefusalsThatStopTheMicrophone) {
    for (int r : {2, 53, 55, 98}) EXPECT_TRUE(talkRefusalStopsMicrophone(r));
    for (int r : {1, 54, 0, -100}) EXPECT_FALSE(talkRefusalStopsMicrophone(r));
}

}  // namespace
}  // namespace kalix::session
