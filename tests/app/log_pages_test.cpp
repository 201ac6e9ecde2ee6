#include "app/log_pages.h"

#include <gtest/gtest.h>

#include "app/log_printout.h"
#include "log_test_data.h"

namespace kalix::app {
namespace {

using testing::logEntry;

constexpr std::uint32_t kPower = 1, kRecord = 2, kOperation = 4, kClient = 8, kEvent = 16;
constexpr std::int32_t k2024 = 1'718'454'896;  // 2024-06-15 12:34:56

std::vector<session::RemoteLogEntry> mixedLog() {
    return {
        logEntry(1, kPower, 1u << 0, k2024, 0, "power text"),
        logEntry(2, kPower, 1u << 1, k2024 + 1, 0, "shown"),
        logEntry(3, kRecord, 1u << 0, k2024 + 2, 0, "rec", "admin"),
        logEntry(4, kOperation, 1u << 2, k2024 + 3, 0, "hidden for type 2"),
        logEntry(5, kOperation, 1u << 13, k2024 + 4, 3),
        logEntry(6, kClient, 1u << 0, k2024 + 5, 0, "10.0.0.9", "guest"),
        logEntry(7, kEvent, 1u << 0, k2024 + 6, 0x8001),
        logEntry(8, 0x20, 1, k2024 + 7),
        logEntry(9, kOperation, (1u << 9), k2024 + 8, 0, "backup"),
    };
}

std::vector<std::string> numbers(const LogPageModel& m) {
    std::vector<std::string> out;
    for (const auto& r : m.rows()) out.push_back(r.cols[0]);
    return out;
}

TEST(LogPages, EachPageFiltersItsCategoryNewestFirst) {
    const auto log = mixedLog();
    EXPECT_EQ(numbers(LogPageModel(LogPage::All, log, DateFormat::YearMonthDay)),
              (std::vector<std::string>{"00009", "00007", "00006", "00004", "00003", "00002", "00001"}));
    EXPECT_EQ(numbers(LogPageModel(LogPage::Power, log, DateFormat::YearMonthDay)),
              (std::vector<std::string>{"00002", "00001"}));
    EXPECT_EQ(numbers(LogPageModel(LogPage::Operation, log, DateFormat::YearMonthDay)),
              (std::vector<std::string>{"00009", "00004"}));
    EXPECT_EQ(numbers(LogPageModel(LogPage::Event, log, DateFormat::YearMonthDay)), (std::vector<std::string>{"00007"}));
    // Without the extended log the Archive page stays empty and types 13+
    // are left out everywhere.
    EXPECT_TRUE(LogPageModel(LogPage::Archive, log, DateFormat::YearMonthDay).rows().empty());
    const LogPageModel archive(LogPage::Archive, log, DateFormat::YearMonthDay, true);
    ASSERT_EQ(numbers(archive), (std::vector<std::string>{"00009"}));
    EXPECT_EQ(archive.rows()[0].cols[2], " Archive");
    EXPECT_EQ(numbers(LogPageModel(LogPage::Operation, log, DateFormat::YearMonthDay, true)),
              (std::vector<std::string>{"00009", "00005", "00004"}));
}

TEST(LogPages, ColumnsFollowTheEntryKind) {
    const LogPageModel all(LogPage::All, mixedLog(), DateFormat::YearMonthDay);
    const auto& rows = all.rows();
    // Event: channels 01 and 16, each followed by a space.
    EXPECT_EQ(rows[1].cols, (std::vector<std::string>{"00007", "2024-06-15 12:35:02", " Motion", "", "01 16 "}));
    EXPECT_EQ(rows[1].ids[2], std::optional<std::uint16_t>(5130));
    EXPECT_EQ(rows[2].cols, (std::vector<std::string>{"00006", "2024-06-15 12:35:01", " Client login", "guest", "10.0.0.9"}));
    EXPECT_EQ(rows[3].cols[4], "");  // operation type 2 never shows details
    EXPECT_EQ(rows[4].cols[3], "admin");
    EXPECT_EQ(rows[5].cols[4], "shown");  // power type 1 shows its details
    EXPECT_EQ(rows[6].cols[4], "");       // other power types do not
    EXPECT_EQ(rows[6].cols[2], " Power on");

    const LogPageModel extended(LogPage::Operation, mixedLog(), DateFormat::YearMonthDay, true);
    EXPECT_EQ(extended.rows()[1].cols[2], " Cam03 Name");
    EXPECT_EQ(extended.rows()[1].ids[2], std::nullopt);
}

TEST(LogPages, NegativeTimeShowsTheEpochInEachDateFormat) {
    const std::vector log{logEntry(1, kPower, 1, -5)};
    EXPECT_EQ(LogPageModel(LogPage::All, log, DateFormat::YearMonthDay).rows()[0].cols[1], "1970-01-01 00:00:00");
    EXPECT_EQ(LogPageModel(LogPage::All, log, DateFormat::MonthDayYear).rows()[0].cols[1], "01-01-1970 00:00:00");
    const std::vector later{logEntry(1, kPower, 1, k2024)};
    EXPECT_EQ(LogPageModel(LogPage::All, later, DateFormat::DayMonthYear).rows()[0].cols[1], "15-06-2024 12:34:56");
}

TEST(LogPages, TextFieldsWithoutTerminatorOrWithHighBytesStayInTheirField) {
    session::RemoteLogEntry e = logEntry(1, kClient, 1, k2024);
    e.text.fill('x');
    e.user.fill(0xE9);
    const LogPageModel m(LogPage::All, {e}, DateFormat::YearMonthDay);
    EXPECT_EQ(m.rows()[0].cols[4], std::string(128, 'x'));
    EXPECT_EQ(m.rows()[0].cols[3].size(), 96u);  // 48 x "é" in UTF-8
}

TEST(LogPages, PlayOnlyForEventTypesZeroToTwoWithoutLocalPlayer) {
    const std::vector log{logEntry(1, kEvent, 1u << 3, k2024, 1), logEntry(2, kEvent, 1u << 2, k2024, 0x0005),
                          logEntry(3, kEvent, 1u << 4, k2024, 1)};
    const LogPageModel m(LogPage::Event, log, DateFormat::YearMonthDay);
    EXPECT_FALSE(m.playEnabled(0, false));  // type 4
    EXPECT_TRUE(m.playEnabled(1, false));
    EXPECT_FALSE(m.playEnabled(1, true));
    EXPECT_FALSE(m.playEnabled(2, false));  // type 3
    EXPECT_FALSE(m.playEnabled(7, false));
    const auto start = m.playRequest(1, false);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->mask, 0x0005u);
    EXPECT_EQ(start->start, static_cast<protocol::RecorderTime>(k2024));
    EXPECT_EQ(start->kind_filter, 0);
}

TEST(LogPages, DetailListsChangedSettingsOnly) {
    std::string text(128, '\0');
    text[0] = 'c';
    text[64 + 2] = 1;
    text[96 + 2] = 4;
    text[64 + 5] = 7;
    text[96 + 5] = 7;
    const std::vector log{logEntry(1, kOperation, 1u << 4, k2024, 0, text), logEntry(2, kOperation, 1u << 1, k2024)};
    const LogPageModel m(LogPage::Operation, log, DateFormat::YearMonthDay);
    EXPECT_FALSE(m.detailEnabled(0));
    ASSERT_TRUE(m.detailEnabled(1));
    const auto rows = m.detailRows(1);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], m.rows()[1]);
    EXPECT_EQ(rows[1].cols, (std::vector<std::string>{"", " Setting 03", " 1 --> 4", "", ""}));
}

TEST(LogPrintout, ThirtyThreeRowsToAPageWithFooters) {
    std::vector<session::RemoteLogEntry> log;
    for (std::uint32_t i = 0; i < 34; ++i) log.push_back(logEntry(i, kEvent, 1, k2024, 1));
    const LogPageModel m(LogPage::Event, log, DateFormat::YearMonthDay);
    const Printout two = layoutPrintout(LogPage::Event, m.rows());
    EXPECT_EQ(two.document_name, "Remote Log Event");
    ASSERT_EQ(two.pages.size(), 2u);
    EXPECT_EQ(two.pages[0].boxes.front().text, "Event Log");
    EXPECT_EQ(two.pages[0].boxes.back().text, "- 1 / 2 -");
    EXPECT_EQ(two.pages[1].boxes.back().text, "- 2 / 2 -");
    EXPECT_EQ(two.pages[0].boxes.size(), 1 + 33 * 5 + 1u);
    EXPECT_EQ(two.pages[1].boxes.size(), 1 + 5 + 1u);
    // Rows: the first between 1800 and 2200, each 400 lower; remote columns.
    const PrintBox& first = two.pages[0].boxes[1];
    EXPECT_EQ(first, (PrintBox{400, 1800, 1150, 2200, "00033", PrintFont::Body}));
    const PrintBox& last = two.pages[0].boxes[33 * 5];
    EXPECT_EQ(last.top, 1800 + 32 * 400);
    EXPECT_EQ(last.right, 11000);

    log.pop_back();
    const Printout one = layoutPrintout(LogPage::All, LogPageModel(LogPage::All, log, DateFormat::YearMonthDay).rows());
    ASSERT_EQ(one.pages.size(), 1u);
    EXPECT_EQ(one.pages[0].boxes.back().text, "- 1 / 1 -");
    EXPECT_TRUE(layoutPrintout(LogPage::All, {}).pages.empty());
}

TEST(LogPrintout, LocalLogUsesItsOwnColumnsAndName) {
    const std::vector<ListRow> rows{{{"0001", "t", "n", "u", "a"}, {}}};
    const Printout p = layoutPrintout(LogPage::Local, rows);
    EXPECT_EQ(p.document_name, "Local Log");
    EXPECT_EQ(p.pages[0].boxes[1].left, 400);
    EXPECT_EQ(p.pages[0].boxes[1].right, 1100);
    EXPECT_EQ(p.pages[0].boxes[5].right, 10800);
}

}  // namespace
}  // namespace kalix::app
