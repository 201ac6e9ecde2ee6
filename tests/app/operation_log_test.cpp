#include "app/operation_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "protocol/byte_order.h"

namespace kalix::app {
namespace {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
        path_ = fs::temp_directory_path() / ("kalix-oplog-" + std::to_string(::getpid()) + "-" +
                                             std::to_string(counter_++));
        fs::remove_all(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    static inline int counter_ = 0;
    fs::path path_;
};

std::vector<std::uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct Header {
    std::uint32_t wrapped;
    std::uint32_t next;
};

Header headerOf(const std::vector<std::uint8_t>& f) { return {protocol::le32(f.data()), protocol::le32(f.data() + 4)}; }

const std::uint8_t* record(const std::vector<std::uint8_t>& f, std::uint32_t slot) {
    return f.data() + kOperationLogHeaderSize + std::size_t{slot} * kOperationRecordSize;
}

OperationLog makeLog(const fs::path& folder, StorageMode mode = StorageMode::Writable) {
    // Fixed clock and a +9 h offset: every record carries 1,000,000 + 32,400.
    return OperationLog(folder, mode, protocol::UtcOffset{9, 0, 0}, [] { return std::time_t{1'000'000}; });
}

TEST(OperationLog, ConnectionRecordLayout) {
    TempFolder dir;
    auto log = makeLog(dir.path());
    ASSERT_TRUE(log.append(2, 1, "admin", "192.168.1.20"));
    const auto f = readFile(dir.path() / "Log" / "kalix.log");
    ASSERT_EQ(f.size(), kOperationLogHeaderSize + kOperationRecordSize);
    EXPECT_EQ(headerOf(f).wrapped, 0u);
    EXPECT_EQ(headerOf(f).next, 1u);
    const auto* r = record(f, 0);
    EXPECT_EQ(protocol::le32(r), 0u);        // slot
    EXPECT_EQ(protocol::le32(r + 4), 184u);  // size
    EXPECT_EQ(protocol::le32(r + 8), 2u);
    EXPECT_EQ(protocol::le32(r + 12), 1u);
    EXPECT_EQ(protocol::le32(r + 16), 1'032'400u);
    EXPECT_EQ(protocol::le32(r + 20), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 24)), "192.168.1.20");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 152)), "admin");
    for (std::size_t i = 24 + 12; i < 152; ++i) EXPECT_EQ(r[i], 0) << i;
}

TEST(OperationLog, LongTextsFillTheirFieldsWithoutOverrunning) {
    TempFolder dir;
    auto log = makeLog(dir.path());
    ASSERT_TRUE(log.append(2, 4, std::string(32, 'u') + "extra", std::string(200, 'a')));
    ASSERT_TRUE(log.append(1, 1, "", ""));
    const auto f = readFile(dir.path() / "Log" / "kalix.log");
    const auto* r = record(f, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 152), 32), std::string(32, 'u'));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 24), 128), std::string(128, 'a'));
    EXPECT_EQ(protocol::le32(record(f, 1)), 1u);  // the next record starts clean
    EXPECT_EQ(protocol::le32(record(f, 1) + 8), 1u);
}

TEST(OperationLog, RingWrapsAfterTwoThousandFiveHundredRecords) {
    TempFolder dir;
    auto log = makeLog(dir.path());
    for (std::uint32_t i = 0; i < 2499; ++i) ASSERT_TRUE(log.append(1, 1, "", ""));
    auto f = readFile(log.filePath());
    EXPECT_EQ(headerOf(f).next, 2499u);
    EXPECT_EQ(headerOf(f).wrapped, 0u);

    ASSERT_TRUE(log.append(8, 1, "", ""));  // the 2500th: slot 2499, wrapped
    f = readFile(log.filePath());
    EXPECT_EQ(f.size(), kOperationLogFullSize);
    EXPECT_EQ(headerOf(f).next, 0u);
    EXPECT_EQ(headerOf(f).wrapped, 1u);
    EXPECT_EQ(protocol::le32(record(f, 2499)), 2499u);
    EXPECT_EQ(protocol::le32(record(f, 2499) + 8), 8u);

    ASSERT_TRUE(log.append(4, 2, "", ""));  // the 2501st: slot 0
    f = readFile(log.filePath());
    EXPECT_EQ(f.size(), kOperationLogFullSize);
    EXPECT_EQ(headerOf(f).next, 1u);
    EXPECT_EQ(headerOf(f).wrapped, 1u);
    EXPECT_EQ(protocol::le32(record(f, 0) + 8), 4u);
}

TEST(OperationLog, ReadOnlyMediumWritesNothing) {
    TempFolder dir;
    auto log = makeLog(dir.path(), StorageMode::ReadOnlyMedium);
    EXPECT_FALSE(log.append(1, 1, "", ""));
    log.write(session::LogCategory::Connection, 1, "admin", "10.0.0.1");
    EXPECT_FALSE(fs::exists(dir.path() / "Log"));
}

TEST(OperationLog, DamagedNextSlotStartsAgainAtZero) {
    TempFolder dir;
    fs::create_directories(dir.path() / "Log");
    {
        std::ofstream out(dir.path() / "Log" / "kalix.log", std::ios::binary);
        const char header[8] = {0, 0, 0, 0, 0x10, 0x27, 0, 0};  // next = 10,000
        out.write(header, 8);
    }
    auto log = makeLog(dir.path());
    ASSERT_TRUE(log.append(1, 1, "", ""));
    const auto f = readFile(log.filePath());
    EXPECT_EQ(headerOf(f).next, 1u);
    EXPECT_EQ(f.size(), kOperationLogHeaderSize + kOperationRecordSize);
}

TEST(OperationLog, ConcurrentWritersLoseNoRecord) {
    TempFolder dir;
    auto log = makeLog(dir.path());
    constexpr int kThreads = 4;
    constexpr int kEach = 100;
    {
        std::vector<std::jthread> writers;
        for (int t = 0; t < kThreads; ++t)
            writers.emplace_back([&log, t] {
                for (int i = 0; i < kEach; ++i)
                    ASSERT_TRUE(log.append(static_cast<std::uint32_t>(t + 1), static_cast<std::uint32_t>(i), "", ""));
            });
    }
    const auto f = readFile(log.filePath());
    EXPECT_EQ(headerOf(f).next, static_cast<std::uint32_t>(kThreads * kEach));
    std::vector<int> per_thread(kThreads + 1, 0);
    for (std::uint32_t slot = 0; slot < kThreads * kEach; ++slot) {
        EXPECT_EQ(protocol::le32(record(f, slot)), slot);
        ++per_thread[protocol::le32(record(f, slot) + 8)];
    }
    for (int t = 1; t <= kThreads; ++t) EXPECT_EQ(per_thread[static_cast<std::size_t>(t)], kEach);
}

}  // namespace
}  // namespace kalix::app
