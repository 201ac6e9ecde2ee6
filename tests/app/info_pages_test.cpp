#include "app/info_pages.h"

#include <gtest/gtest.h>

#include "app/local_log.h"
#include "log_test_data.h"
#include "protocol/byte_order.h"

namespace kalix::app {
namespace {

using testing::LocalRecord;
using testing::localLogFile;

TEST(InfoPages, StorageSizesByTheSizeRule) {
    EXPECT_EQ(storageSizeText(512), "  512 MByte");
    EXPECT_EQ(storageSizeText(1023), " 1023 MByte");
    EXPECT_EQ(storageSizeText(1024), "    1 GByte");
    EXPECT_EQ(storageSizeText(1024 * 1023 + 1000), " 1023 GByte");
    EXPECT_EQ(storageSizeText(1024 * 1536), "  1.50 TByte");
}

std::vector<std::uint8_t> statusReply(std::size_t size) {
    std::vector<std::uint8_t> r(size);
    protocol::putBe32(r.data() + 8, 2048);
    protocol::putBe32(r.data() + 12, 512);
    if (size >= 56) {
        r[16] = 1;  // item 1 present, 2 units, internal
        r[20] = 2;
        r[24] = 1;
        r[18] = 1;  // item 3 present, none counted
        r[28 + 1] = 1;  // item 6 present, external
        r[32 + 1] = 1;
        r[36 + 1] = 2;
        r[40] = 1;
        r[41] = 3;
        r[42] = 9;
    }
    return r;
}

TEST(InfoPages, StatusRowsShowStorageChannelsAndItems) {
    const auto rows = statusInfoRows(statusReply(56), 4);
    ASSERT_EQ(rows.size(), 3 + 1 + 4 + 1 + 6u);
    EXPECT_EQ(rows[0].cols, (std::vector<std::string>{"Total space", "    2 GByte", ""}));
    EXPECT_EQ(rows[1].cols[1], "    1 GByte");
    EXPECT_EQ(rows[3].cols, (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(rows[4].cols, (std::vector<std::string>{"Channel 01", "Recording", ""}));
    EXPECT_EQ(rows[5].cols[1], "Event recording");
    EXPECT_EQ(rows[7].cols[1], "Idle");
    EXPECT_EQ(rows[9].cols, (std::vector<std::string>{"Storage 1", "Capacity", "2 GByte"}));
    EXPECT_EQ(rows[9].ids[2], std::optional<std::uint16_t>(5871));
    EXPECT_EQ(rows[10].cols, (std::vector<std::string>{"", "Type", "Internal"}));
    EXPECT_EQ(rows[11].cols, (std::vector<std::string>{"Storage 3", "Capacity", "None"}));
    EXPECT_EQ(rows[13].cols[0], "Storage 2");  // item 6 is the second of its group
    EXPECT_EQ(rows[14].cols[2], "External");
}

TEST(InfoPages, ShortStatusReplyHasNoItemRowsAndNeverReadsPastIt) {
    const auto rows = statusInfoRows(statusReply(16), 16);
    EXPECT_EQ(rows.size(), 3 + 1 + 16u);
    EXPECT_EQ(statusInfoRows({}, 16).size(), 20u);
    // More free than total: nothing used, not a huge number.
    std::vector<std::uint8_t> odd(16);
    protocol::putBe32(odd.data() + 8, 10);
    protocol::putBe32(odd.data() + 12, 20);
    EXPECT_EQ(statusInfoRows(odd, 0)[1].cols[1], "    0 MByte");
}

TEST(InfoPages, SystemRowsWithMacAndModulesInOrder) {
    SystemInfoSource s;
    s.address = "10.1.2.3";
    s.port = 2000;
    s.description = "Shop";
    s.identity.mac = {0xab, 0x01, 0xcd, 0x02, 0xef, 0x03};
    for (std::uint32_t i = 0; i < 7; ++i)
        s.identity.modules[i] = {"m" + std::to_string(i), i == 0 ? 1'718'454'896u : 0x80000000u};
    auto rows = systemInfoRows(s);
    ASSERT_EQ(rows.size(), 5 + 5u);  // module 2 left out on product 0.0
    EXPECT_EQ(rows[3].cols[1], "AB:01:CD:02:EF:03");
    EXPECT_EQ(rows[1].cols[1], "2000");
    EXPECT_EQ(rows[5].cols, (std::vector<std::string>{"Main program", "2024  0615  1234", "m0"}));
    EXPECT_EQ(rows[6].cols, (std::vector<std::string>{"Boot loader", "1970  0101  0000", "m3"}));
    s.identity.product_minor = 2;
    rows = systemInfoRows(s);
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_EQ(rows[8].cols[2], "m2");
}

TEST(LocalLog, NewestFirstWithConnectionColumns) {
    const auto file = localLogFile(false, 2, {{1, 1, 100}, {2, 1, 200, "admin", "10.0.0.5"}});
    const auto rows = localLogRows(file, DateFormat::YearMonthDay);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].cols, (std::vector<std::string>{"0002", "1970-01-01 00:03:20", "Connected", "admin", "10.0.0.5"}));
    EXPECT_EQ(rows[1].cols, (std::vector<std::string>{"0001", "1970-01-01 00:01:40", "Program started", "", ""}));
    EXPECT_EQ(rows[0].ids[2], std::optional<std::uint16_t>(5362));
}

TEST(LocalLog, WrappedRingStartsAtTheNextSlot) {
    std::vector<LocalRecord> records;
    for (std::uint32_t i = 0; i < 2500; ++i) records.push_back({1, 1, i < 7 ? 5000 + i : i});
    const auto rows = localLogRows(localLogFile(true, 7, records), DateFormat::YearMonthDay);
    ASSERT_EQ(rows.size(), 2500u);
    EXPECT_EQ(rows.front().cols[0], "2500");
    EXPECT_EQ(rows.front().cols[1], "1970-01-01 01:23:26");  // slot 6, the newest
    EXPECT_EQ(rows.back().cols[0], "0001");
    EXPECT_EQ(rows.back().cols[1], "1970-01-01 00:00:07");  // slot 7, the oldest
}

TEST(LocalLog, RecordSizeTooSmallOrMissingFileGivesNoRows) {
    for (std::uint32_t size : {0u, 8u, 100u, 183u})
        EXPECT_TRUE(localLogRows(localLogFile(false, 1, {{1, 1, 1}, {1, 1, 2}}, size), DateFormat::YearMonthDay).empty())
            << size;
    EXPECT_TRUE(localLogRows({}, DateFormat::YearMonthDay).empty());
    EXPECT_TRUE(readLocalLog("/nonexistent/kalix", DateFormat::YearMonthDay).empty());
    // A larger size is a stride; a partial record at the end is left out.
    auto file = localLogFile(false, 1, {{1, 1, 1}, {1, 2, 2}}, 200);
    file.resize(file.size() - 10);
    EXPECT_EQ(localLogRows(file, DateFormat::YearMonthDay).size(), 1u);
}

}  // namespace
}  // namespace kalix::app
