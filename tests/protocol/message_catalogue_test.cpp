#include "protocol/message_catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace kalix::protocol {
namespace {

TEST(MessageCatalogue, CodeOneHundredAndTwoDependsOnDirection) {
    EXPECT_EQ(messageName(102, Direction::ToClient), "TRANS_ON_NACK");
    EXPECT_EQ(messageName(102, Direction::ToRecorder), "TRANS_OFF_REQ");
    EXPECT_EQ(messageName(4, Direction::ToClient), "BYE48");
    EXPECT_EQ(findMessage(4, Direction::ToClient)->rule, PayloadRule::Reason);
    EXPECT_EQ(findMessage(4, Direction::ToRecorder)->rule, PayloadRule::None);
}

TEST(MessageCatalogue, UnknownCodesHaveNoEntryAndATraceName) {
    for (std::uint16_t code : std::initializer_list<std::uint16_t>{300, 329, 339, 345}) {
        EXPECT_EQ(findMessage(code, Direction::ToClient), nullptr) << code;
        EXPECT_EQ(findMessage(code, Direction::ToRecorder), nullptr) << code;
    }
    EXPECT_EQ(messageName(300, Direction::ToClient), "CODE_300");
}

TEST(MessageCatalogue, EachCodeAppearsOnceInEachDirectionAndFitsNineBits) {
    std::set<std::pair<std::uint16_t, Direction>> seen;
    for (const auto& m : messageCatalogue()) {
        EXPECT_LT(m.code, 512);
        EXPECT_TRUE(seen.insert({m.code, m.direction}).second) << m.name;
    }
    EXPECT_EQ(seen.size(), messageCatalogue().size());
}

TEST(MessageCatalogue, PayloadRulesJudgeLengths) {
    const auto* hello = findMessage(5, Direction::ToClient);
    ASSERT_NE(hello, nullptr);
    EXPECT_TRUE(hello->acceptsLength(768));
    EXPECT_FALSE(hello->acceptsLength(767));
    const auto* info = findMessage(17, Direction::ToClient);
    EXPECT_TRUE(info->acceptsLength(4));
    EXPECT_TRUE(info->acceptsLength(40));
    EXPECT_FALSE(info->acceptsLength(3));
    const auto* forward = findMessage(44, Direction::ToRecorder);
    EXPECT_TRUE(forward->acceptsLength(0));
    EXPECT_TRUE(forward->acceptsLength(24));
    EXPECT_FALSE(forward->acceptsLength(4));
    const auto* keep_alive = findMessage(511, Direction::ToRecorder);
    EXPECT_TRUE(keep_alive->acceptsLength(0));
    EXPECT_FALSE(keep_alive->acceptsLength(1));
}

TEST(MessageCatalogue, EventSearchIsAnsweredByThePagedReplies) {
    EXPECT_EQ(messageName(332, Direction::ToRecorder), "EVENT_INFO_REQ");
    EXPECT_EQ(messageName(333, Direction::ToClient), "EVENT_INFO_ACK_BYPG");
    EXPECT_EQ(messageName(334, Direction::ToClient), "EVENT_INFO_NACK_BYPG");
    EXPECT_EQ(messageName(330, Direction::ToClient), "EVENT_INFO_ACK");
}

}  // namespace
}  // namespace kalix::protocol
