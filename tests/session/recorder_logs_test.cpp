// The recorder's log and status answers, fed to a session as bytes.

#include "session/recorder_logs.h"

#include <gtest/gtest.h>

#include <cstring>

#include "session/dvr_session.h"
#include "session_test_support.h"

namespace kalix::session {
namespace {

using namespace testing;
using protocol::Code;
using protocol::Fragment;
using protocol::MessageHeader;

// `count` entries of `size` bytes, numbered from 1; the size word says
// `size_word`.
std::vector<std::uint8_t> entries(std::size_t count, std::uint32_t size = 200, std::uint32_t size_word = 200) {
    std::vector<std::uint8_t> out(count * size);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* p = out.data() + i * size;
        protocol::putBe32(p, static_cast<std::uint32_t>(i + 1));
        protocol::putBe32(p + 4, size_word);
        protocol::putBe32(p + 8, 16);
        protocol::putBe32(p + 12, 1);
        protocol::putBe32(p + 16, 0xFFFFFFF0);
        protocol::putBe32(p + 20, 0x8001);
        std::memcpy(p + 24, "text", 4);
        std::memcpy(p + 152, "user", 4);
    }
    return out;
}

class LogsRig {
public:
    LogsRig() {
        options_.address = "127.0.0.1";
        options_.keep_alive_interval = std::chrono::hours(1);
        session_ = std::make_unique<DvrSession>(options_, sink_);
        session_->observeSends([this](const MessageHeader& h, std::span<const std::uint8_t> p) {
            sent_.push_back(h.code());
            sent_payloads_.emplace_back(p.begin(), p.end());
        });
    }
    // Sends the whole answer in fragments of at most `fragment` bytes.
    void answer(Code code, const std::vector<std::uint8_t>& bytes, std::size_t fragment = 60000) {
        std::size_t at = 0;
        do {
            const std::size_t n = std::min(fragment, bytes.size() - at);
            const bool last = at + n == bytes.size();
            session_->feed(message(code, {bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                          bytes.begin() + static_cast<std::ptrdiff_t>(at + n)},
                                   last ? Fragment::Last : Fragment::More));
            at += n;
        } while (at < bytes.size());
    }
    std::vector<LogAnswer> logs() const { return sink_.all<LogAnswer>(); }

    SessionOptions options_;
    RecordingSink sink_;
    // Before the session: its close still reports what it sends.
    std::vector<std::uint16_t> sent_;
    std::vector<std::vector<std::uint8_t>> sent_payloads_;
    std::unique_ptr<DvrSession> session_;
};

TEST(RecorderLogs, FragmentedAnswerGivesEveryEntryConverted) {
    LogsRig rig;
    rig.session_->requestLog();
    rig.session_->requestLog();  // pending: not sent twice
    ASSERT_EQ(rig.sent_, (std::vector<std::uint16_t>{static_cast<std::uint16_t>(Code::LOG_INFO_REQ)}));
    EXPECT_TRUE(rig.sent_payloads_[0].empty());
    rig.answer(Code::LOG_INFO_ACK, entries(700), 1000);
    const auto logs = rig.logs();
    ASSERT_EQ(logs.size(), 1u);
    ASSERT_EQ(logs[0].entries.size(), 700u);
    const RemoteLogEntry& e = logs[0].entries[699];
    EXPECT_EQ(e.number, 700u);
    EXPECT_EQ(e.category, 16u);
    EXPECT_EQ(e.time, -16);
    EXPECT_EQ(e.parameter, 0x8001u);
    EXPECT_EQ(e.text[0], 't');
    EXPECT_EQ(e.user[3], 'r');
    EXPECT_EQ(rig.session_->logCopy(), logs[0].entries);
    EXPECT_FALSE(rig.session_->logPending());
    EXPECT_EQ(rig.sink_.all<WindowPost>().back().message, WindowMessage::LogEntriesReady);
}

TEST(RecorderLogs, AnswerNobodyAskedForIsDropped) {
    LogsRig rig;
    rig.answer(Code::LOG_INFO_ACK, entries(3));
    rig.answer(Code::STATUS_INFO_ACK, std::vector<std::uint8_t>(56, 1));
    EXPECT_TRUE(rig.logs().empty());
    EXPECT_TRUE(rig.sink_.all<StatusAnswer>().empty());
    // A second answer after the one asked for is dropped too.
    rig.session_->requestLog();
    rig.answer(Code::LOG_INFO_ACK, entries(3));
    rig.answer(Code::LOG_INFO_ACK, entries(5));
    ASSERT_EQ(rig.logs().size(), 1u);
    EXPECT_EQ(rig.logs()[0].entries.size(), 3u);
}

TEST(RecorderLogs, EntrySizesTooSmallGiveNoEntries) {
    for (std::uint32_t size_word : {0u, 1u, 24u, 199u}) {
        LogsRig rig;
        rig.session_->requestLog();
        rig.answer(Code::LOG_INFO_ACK, entries(4, 200, size_word));
        ASSERT_EQ(rig.logs().size(), 1u) << size_word;
        EXPECT_TRUE(rig.logs()[0].entries.empty()) << size_word;
    }
}

TEST(RecorderLogs, PartialEntriesAndLargerStridesStayInsideTheAnswer) {
    // 3.5 entries: the half entry is left out.
    auto bytes = entries(4);
    bytes.resize(700);
    EXPECT_EQ(parseLogEntries(bytes).size(), 3u);
    EXPECT_TRUE(parseLogEntries(std::vector<std::uint8_t>(199, 0)).empty());
    // Entries of 256 bytes: each read at its own stride.
    const auto wide = parseLogEntries(entries(3, 256, 256));
    ASSERT_EQ(wide.size(), 3u);
    EXPECT_EQ(wide[2].number, 3u);
    EXPECT_EQ(wide[2].user[0], 'u');
}

TEST(RecorderLogs, TableHoldsAtMostTwentyFiveHundredAndTheStreamStaysInStep) {
    LogsRig rig;
    rig.session_->requestLog();
    rig.answer(Code::LOG_INFO_ACK, entries(2600));
    ASSERT_EQ(rig.logs().size(), 1u);
    EXPECT_EQ(rig.logs()[0].entries.size(), kRemoteLogCapacity);
    EXPECT_EQ(rig.logs()[0].entries.back().number, 2500u);
    EXPECT_TRUE(rig.logs()[0].cut);
    // An answer larger than the reply buffer is cut there; what follows is
    // still read in step.
    rig.session_->requestStatus();
    rig.answer(Code::STATUS_INFO_ACK, std::vector<std::uint8_t>(kInfoReplyLimit + 70000, 2));
    rig.session_->requestLog();
    rig.answer(Code::LOG_INFO_ACK, entries(2));
    ASSERT_EQ(rig.sink_.all<StatusAnswer>().size(), 1u);
    EXPECT_EQ(rig.sink_.all<StatusAnswer>()[0].bytes.size(), kInfoReplyLimit);
    ASSERT_EQ(rig.logs().size(), 2u);
    EXPECT_EQ(rig.logs()[1].entries.size(), 2u);
}

TEST(RecorderLogs, RefusalsEndTheRequestWithTheirNotice) {
    LogsRig rig;
    rig.session_->requestLog();
    rig.session_->feed(message(Code::LOG_INFO_NACK, word(86)));
    ASSERT_EQ(rig.logs().size(), 1u);
    EXPECT_TRUE(rig.logs()[0].refused);
    EXPECT_FALSE(rig.session_->logPending());
    EXPECT_EQ(rig.sink_.all<Notice>().back().lParam(), 0x60003u);
    rig.session_->requestStatus();
    rig.session_->feed(message(Code::STATUS_INFO_NACK, word(83)));
    ASSERT_EQ(rig.sink_.all<StatusAnswer>().size(), 1u);
    EXPECT_TRUE(rig.sink_.all<StatusAnswer>()[0].refused);
    EXPECT_EQ(rig.sink_.all<Notice>().back().lParam(), 0x40000u);
}

TEST(RecorderLogs, StatusAnswerIsKeptWhole) {
    LogsRig rig;
    rig.session_->requestStatus();
    EXPECT_EQ(rig.sent_.back(), static_cast<std::uint16_t>(Code::STATUS_INFO_REQ));
    std::vector<std::uint8_t> status(56);
    status[40] = 1;
    rig.answer(Code::STATUS_INFO_ACK, status, 20);
    ASSERT_EQ(rig.sink_.all<StatusAnswer>().size(), 1u);
    EXPECT_EQ(rig.sink_.all<StatusAnswer>()[0].bytes, status);
    EXPECT_EQ(rig.session_->statusCopy(), status);
}

}  // namespace
}  // namespace kalix::session
