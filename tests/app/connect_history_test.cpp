#include "app/connect_history.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "protocol/byte_order.h"

namespace kalix::app {
namespace {

namespace fs = std::filesystem;

class HistoryTest : public ::testing::Test {
protected:
    HistoryTest()
        : dir_(fs::path(::testing::TempDir()) / ("kalix_history_" + std::to_string(::getpid()))),
          history_(dir_, [this] { return now_; }) {
        fs::remove_all(dir_);
    }
    ~HistoryTest() override { fs::remove_all(dir_); }

    std::vector<std::uint8_t> file() const {
        std::ifstream in(history_.filePath(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void writeFile(const std::vector<std::uint8_t>& bytes) const {
        fs::create_directories(dir_ / "Log");
        std::ofstream(history_.filePath(), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static std::uint32_t header(const std::vector<std::uint8_t>& f, std::size_t at) { return protocol::le32(&f[at]); }
    static std::uint32_t field(const std::vector<std::uint8_t>& f, std::size_t entry, std::size_t at) {
        return protocol::le32(&f[kHistoryHeaderSize + entry * kHistoryEntrySize + at]);
    }
    static std::string text(const std::vector<std::uint8_t>& f, std::size_t entry, std::size_t at) {
        return reinterpret_cast<const char*>(&f[kHistoryHeaderSize + entry * kHistoryEntrySize + at]);
    }

    fs::path dir_;
    std::time_t now_ = 1'000'000;
    ConnectHistory history_;
};

TEST_F(HistoryTest, SameRecorderTwiceKeepsOneEntryWithTheLatestDescriptionAndTime) {
    ASSERT_TRUE(history_.record("Recorder.example", 2000, "front door"));
    now_ += 60;
    ASSERT_TRUE(history_.record("RECORDER.example", 2000, "back door"));  // case does not matter
    ASSERT_TRUE(history_.record("Recorder.example", 2001, "other port"));

    const auto f = file();
    ASSERT_EQ(f.size(), kHistoryHeaderSize + 2 * kHistoryEntrySize);
    EXPECT_EQ(header(f, 0), 0u);  // not wrapped
    EXPECT_EQ(header(f, 4), 2u);  // next slot
    EXPECT_EQ(text(f, 0, 0), "RECORDER.example");
    EXPECT_EQ(field(f, 0, 260), 2000u);
    EXPECT_EQ(field(f, 0, 264), 1'000'060u);
    EXPECT_EQ(field(f, 0, 268), 0u);
    EXPECT_EQ(text(f, 0, 272), "back door");
    EXPECT_EQ(field(f, 1, 268), 1u);

    ASSERT_EQ(history_.load(), HistoryStatus::Loaded);
    ASSERT_EQ(history_.entries().size(), 2u);
    EXPECT_NE(history_.find("RECORDER.example", 2000), nullptr);
    EXPECT_EQ(history_.find("recorder.example", 2000), nullptr);  // the dialog matches exact text
}

TEST_F(HistoryTest, TheHundredAndFirstRecorderReplacesTheOldest) {
    for (int i = 0; i < 100; ++i) {
        ++now_;
        ASSERT_TRUE(history_.record("10.0.0." + std::to_string(i), 2000, ""));
    }
    auto f = file();
    ASSERT_EQ(f.size(), kHistoryMaxFileSize);
    EXPECT_EQ(header(f, 0), 1u);
    EXPECT_EQ(header(f, 4), 0u);

    // Slot 0 is refreshed, so slot 1 now holds the oldest.
    ++now_;
    ASSERT_TRUE(history_.record("10.0.0.0", 2000, "again"));
    ++now_;
    ASSERT_TRUE(history_.record("10.0.1.1", 2000, "newcomer"));
    f = file();
    ASSERT_EQ(f.size(), kHistoryMaxFileSize);
    EXPECT_EQ(text(f, 1, 0), "10.0.1.1");
    EXPECT_EQ(field(f, 1, 268), 1u);
    EXPECT_EQ(text(f, 0, 0), "10.0.0.0");
    EXPECT_EQ(header(f, 0), 1u);
    EXPECT_EQ(header(f, 4), 0u);

    ASSERT_EQ(history_.load(), HistoryStatus::Loaded);
    ASSERT_EQ(history_.entries().size(), 100u);
    EXPECT_EQ(history_.entries().front().address, "10.0.1.1");
    EXPECT_EQ(history_.entries().back().address, "10.0.0.2");

    // Writing back a full list keeps it wrapped.
    ASSERT_TRUE(history_.setDescription(5, "edited"));
    f = file();
    EXPECT_EQ(header(f, 0), 1u);
    EXPECT_EQ(header(f, 4), 0u);
    EXPECT_EQ(text(f, 5, 272), "edited");
}

TEST_F(HistoryTest, DeletingTheOnlyEntryLeavesAnEmptyFirstSlot) {
    ASSERT_TRUE(history_.record("192.168.1.20", 2000, "lobby"));
    ASSERT_EQ(history_.load(), HistoryStatus::Loaded);
    ASSERT_TRUE(history_.remove(0));

    const auto f = file();
    ASSERT_EQ(f.size(), kHistoryHeaderSize + kHistoryEntrySize);
    EXPECT_EQ(header(f, 0), 0u);
    EXPECT_EQ(header(f, 4), 0u);
    EXPECT_TRUE(std::all_of(f.begin() + kHistoryHeaderSize, f.end(), [](std::uint8_t b) { return b == 0; }));
    ASSERT_EQ(history_.load(), HistoryStatus::Loaded);
    EXPECT_TRUE(history_.entries().empty());
    EXPECT_FALSE(history_.remove(0));

    // The next recorder goes to that first slot.
    ASSERT_TRUE(history_.record("192.168.1.21", 2000, ""));
    EXPECT_EQ(text(file(), 0, 0), "192.168.1.21");
}

TEST_F(HistoryTest, DeleteAndDescriptionEditWriteTheListNewestFirst) {
    for (const char* address : {"a.example", "b.example", "c.example"}) {
        ++now_;
        ASSERT_TRUE(history_.record(address, 2000, "d"));
    }
    ASSERT_EQ(history_.load(), HistoryStatus::Loaded);
    ASSERT_EQ(history_.entries().size(), 3u);
    EXPECT_EQ(history_.entries()[0].address, "c.example");

    ASSERT_TRUE(history_.remove(1));  // b
    auto f = file();
    EXPECT_EQ(header(f, 4), 2u);
    EXPECT_EQ(text(f, 0, 0), "c.example");
    EXPECT_EQ(text(f, 1, 0), "a.example");
    EXPECT_EQ(field(f, 1, 268), 1u);
    EXPECT_EQ(text(f, 2, 0), "");

    ASSERT_TRUE(history_.setDescription(1, std::string(300, 'x')));
    ASSERT_EQ(history_.load(), HistoryStatus::Loaded);
    ASSERT_EQ(history_.entries().size(), 2u);
    EXPECT_EQ(history_.entries()[1].description, std::string(kHistoryTextField - 1, 'x'));
    EXPECT_FALSE(history_.setDescription(2, "past the end"));
}

TEST_F(HistoryTest, DamagedFilesAreRefusedAndLeftAsTheyAre) {
    ASSERT_TRUE(history_.record("192.168.1.20", 2000, "lobby"));
    const auto good = file();

    auto truncated = good;
    truncated.pop_back();
    auto bad_next = good;
    protocol::putLe32(&bad_next[4], 100);
    auto bad_flag = good;
    protocol::putLe32(&bad_flag[0], 2);
    auto no_terminator = good;
    std::fill_n(no_terminator.begin() + kHistoryHeaderSize, kHistoryTextField, 'x');
    auto bad_port = good;
    protocol::putLe32(&bad_port[kHistoryHeaderSize + 260], 70000);
    auto bad_slot = good;
    protocol::putLe32(&bad_slot[kHistoryHeaderSize + 268], 100);
    const std::vector<std::uint8_t> short_header{1, 0, 0};
    std::vector<std::uint8_t> too_long(kHistoryMaxFileSize + kHistoryEntrySize, 0);

    for (const auto& damaged : {truncated, bad_next, bad_flag, no_terminator, bad_port, bad_slot, short_header,
                                too_long}) {
        writeFile(damaged);
        EXPECT_EQ(history_.load(), HistoryStatus::Refused);
        EXPECT_TRUE(history_.entries().empty());
        EXPECT_FALSE(history_.record("10.1.1.1", 2000, "new"));
        EXPECT_FALSE(history_.rewrite());
        EXPECT_EQ(file(), damaged);
    }

    // A missing file is an empty history, and an empty file too.
    fs::remove(history_.filePath());
    EXPECT_EQ(history_.load(), HistoryStatus::Missing);
    writeFile({});
    EXPECT_EQ(history_.load(), HistoryStatus::Loaded);
    EXPECT_TRUE(history_.record("10.1.1.1", 2000, "new"));
    EXPECT_EQ(file().size(), kHistoryHeaderSize + kHistoryEntrySize);
}

TEST_F(HistoryTest, AnEmptyAddressIsNotRecorded) {
    EXPECT_FALSE(history_.record("", 2000, "nothing typed"));
    EXPECT_FALSE(fs::exists(history_.filePath()));
}

// ---------------------------------------------------------------- connect form

TEST(ConnectForm, OpensWithTheStoredRecorderAndItsDescription) {
    const fs::path dir = fs::path(::testing::TempDir()) / ("kalix_connect_form_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    ConnectHistory history(dir);
    MemorySettingsStore store;

    ConnectForm first = openConnectForm(store, history);
    EXPECT_TRUE(first.default_port);
    EXPECT_EQ(first.port, "");
    EXPECT_EQ(first.address, "");

    ASSERT_TRUE(history.record("dvr.example", 2000, "warehouse"));
    ASSERT_TRUE(history.record("dvr.example", 3000, "office"));
    ASSERT_EQ(history.load(), HistoryStatus::Loaded);
    store.writeText(kServerIpKey, "dvr.example");
    ConnectForm without_port = openConnectForm(store, history);
    EXPECT_TRUE(without_port.default_port);
    EXPECT_EQ(without_port.description, "warehouse");  // the default port is 2000

    store.writeNumber(kServerPortKey, 3000);
    ConnectForm with_port = openConnectForm(store, history);
    EXPECT_FALSE(with_port.default_port);
    EXPECT_EQ(with_port.port, "3000");
    EXPECT_EQ(with_port.description, "office");

    takeHistoryEntry(first, *history.find("dvr.example", 2000));
    EXPECT_FALSE(first.default_port);
    EXPECT_EQ(first.port, "2000");
    EXPECT_EQ(first.description, "warehouse");
    first.setDefaultPort(true);
    EXPECT_EQ(first.port, "");
    fs::remove_all(dir);
}

TEST(ConnectForm, PortMustLieBetweenOneAndSixtyFiveThousandFiveHundredThirtyFour) {
    EXPECT_EQ(parsePort("1"), 1);
    EXPECT_EQ(parsePort("65534"), 65534);
    for (const char* bad : {"65535", "0", "", "99999", "12a", "-1", " 80", "000001"}) {
        EXPECT_EQ(parsePort(bad), std::nullopt) << bad;
    }
}

TEST(ConnectForm, OkStoresRecordsAndResolves) {
    const fs::path dir = fs::path(::testing::TempDir()) / ("kalix_connect_ok_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    ConnectHistory history(dir);
    MemorySettingsStore store;
    std::vector<std::string> looked_up;
    const AddressResolver resolver = [&](std::string_view typed) {
        looked_up.emplace_back(typed);
        return typed == "dvr.example" ? std::string("10.0.0.5") : std::string();
    };

    ConnectForm form;
    form.default_port = false;
    form.port = "65535";
    form.address = "dvr.example";
    EXPECT_EQ(acceptConnectForm(form, store, history, resolver), std::nullopt);
    EXPECT_EQ(form.port, "");  // emptied, the dialog stays open
    EXPECT_EQ(store.writeCount(), 0u);
    EXPECT_FALSE(fs::exists(history.filePath()));

    form.port = "1";
    form.user = "administrator";  // the field holds 8 characters
    form.password = "pw";
    form.description = "yard";
    const auto request = acceptConnectForm(form, store, history, resolver);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->address, "10.0.0.5");
    EXPECT_EQ(request->port, 1);
    EXPECT_EQ(request->user, "administ");
    EXPECT_EQ(request->description, "yard");
    EXPECT_EQ(store.readText(kServerIpKey), "dvr.example");
    EXPECT_EQ(store.readNumber(kServerPortKey), 1u);
    ASSERT_EQ(history.load(), HistoryStatus::Loaded);
    EXPECT_NE(history.find("dvr.example", 1), nullptr);  // kept as typed

    form.setDefaultPort(true);
    form.address = "unknown.example";
    const auto unresolved = acceptConnectForm(form, store, history, resolver);
    ASSERT_TRUE(unresolved);
    EXPECT_EQ(unresolved->address, "");
    EXPECT_EQ(unresolved->port, 2000);
    EXPECT_EQ(store.readNumber(kServerPortKey), 2000u);

    form.address = "";
    looked_up.clear();
    ASSERT_TRUE(acceptConnectForm(form, store, history, resolver));
    EXPECT_TRUE(looked_up.empty());
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kalix::app
