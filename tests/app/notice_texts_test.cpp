#include "app/notice_texts.h"

#include <gtest/gtest.h>

#include <set>

#include "app/string_table.h"

namespace kalix::app {
namespace {

// Every notice the program raises has a title and a message of its own
// range, and the texts the session raises are told apart.
TEST(NoticeTexts, EveryKindHasTextsInTheNoticeRange) {
    const std::pair<int, int> kinds[] = {{0x00, 1}, {0x01, 2}, {0x02, 1}, {0x03, 8}, {0x04, 1}, {0x05, 3},
                                         {0x06, 8}, {0x07, 4}, {0x08, 7}, {0x09, 1}, {0x0A, 1}, {0x0B, 2},
                                         {0x0C, 2}, {0x0D, 1}, {0x0E, 1}, {0x0F, 1}, {0x11, 1}, {0x12, 1},
                                         {0x13, 1}};
    for (const auto& [kind, details] : kinds) {
        for (int d = 0; d < details; ++d) {
            const auto s = noticeStrings(static_cast<std::uint16_t>(kind), static_cast<std::uint16_t>(d));
            EXPECT_GE(s.title_id, 5051);
            EXPECT_LE(s.message_id, 5092);
            EXPECT_FALSE(builtinString(s.title_id).empty()) << kind << "." << d;
            EXPECT_FALSE(builtinString(s.message_id).empty()) << kind << "." << d;
        }
    }
}

TEST(NoticeTexts, ConnectionNoticesAreDistinct) {
    std::set<std::string> texts;
    for (auto [k, d] : {std::pair{0, 0}, {1, 0}, {1, 1}, {2, 0}, {3, 0}, {3, 1}, {3, 2}})
        texts.insert(noticeText(static_cast<std::uint16_t>(k), static_cast<std::uint16_t>(d)));
    EXPECT_EQ(texts.size(), 7u);
    EXPECT_EQ(noticeText(2, 0), "Connection: The connection to the recorder has ended.");
}

TEST(NoticeTexts, UnknownNumbersGiveEmptyTexts) {
    EXPECT_TRUE(builtinString(5050).empty());
    EXPECT_TRUE(builtinString(6141).empty());
    EXPECT_FALSE(noticeText(0x7F, 3).empty());  // an unknown kind still says something
}

// Only the two notices that ask something get a second button; the firmware
// notice asks only when files were found.
TEST(NoticeTexts, QuestionsGetTwoButtonsEverythingElseOk) {
    EXPECT_EQ(noticeButtons(0x04, 0), NoticeButtons::YesNo);
    EXPECT_EQ(noticeButtons(0x04, 3), NoticeButtons::YesNo);
    EXPECT_EQ(noticeButtons(0x0B, 0), NoticeButtons::OkCancel);
    EXPECT_EQ(noticeButtons(0x0B, 1), NoticeButtons::Ok);
    for (int kind : {0x00, 0x01, 0x02, 0x03, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0C, 0x0D, 0x0E, 0x0F, 0x11,
                     0x12, 0x13, 0x7F})
        for (int detail : {0, 1, 7})
            EXPECT_EQ(noticeButtons(static_cast<std::uint16_t>(kind), static_cast<std::uint16_t>(detail)),
                      NoticeButtons::Ok)
                << kind << "." << detail;
}

TEST(NoticeTexts, EveryButtonCaptionHasAText) {
    for (NoticeButtons set : {NoticeButtons::Ok, NoticeButtons::OkCancel, NoticeButtons::YesNo}) {
        const NoticeButtonStrings s = noticeButtonStrings(set);
        EXPECT_FALSE(stringText(s.accept_id).empty());
        EXPECT_EQ(s.reject_id == 0, set == NoticeButtons::Ok);
        if (s.reject_id != 0) {
            EXPECT_FALSE(stringText(s.reject_id).empty());
        }
    }
    EXPECT_EQ(stringText(noticeButtonStrings(NoticeButtons::YesNo).accept_id), "Yes");
}

}  // namespace
}  // namespace kalix::app
