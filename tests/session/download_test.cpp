// The download feature: the size request and its answers, the transfer's
// requests, the hand-over of whole units to the writer thread, and every
// way a transfer ends (what is sent, what is stored, what is reported).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include "protocol/byte_order.h"
#include "session/dvr_session.h"
#include "session_test_support.h"

namespace kalix::session {
namespace {

using namespace testing;
using protocol::Code;
using protocol::Fragment;
using protocol::MessageHeader;

// What the fake store saw, shared with the test after the store is gone.
struct StoreLog {
    std::mutex mutex;
    std::vector<std::vector<std::uint8_t>> units;
    std::int32_t recorder_kind = -1;
    bool opened = false;
    int closes = 0;
    std::size_t fail_at = 0;  // the 1-based unit whose write fails; 0 never
};

class FakeStore final : public ArchiveStore {
public:
    explicit FakeStore(std::shared_ptr<StoreLog> log) : log_(std::move(log)) {}
    bool open() override {
        std::lock_guard lock(log_->mutex);
        log_->opened = true;
        return true;
    }
    bool add(std::span<const std::uint8_t> unit) override {
        std::lock_guard lock(log_->mutex);
        if (log_->fail_at != 0 && log_->units.size() + 1 == log_->fail_at) return false;
        log_->units.emplace_back(unit.begin(), unit.end());
        return true;
    }
    void close() override {
        std::lock_guard lock(log_->mutex);
        ++log_->closes;
    }
    std::string error() const override { return "No space left on device"; }

private:
    std::shared_ptr<StoreLog> log_;
};

ArchiveStoreFactory fakeStores(std::shared_ptr<StoreLog> log) {
    return [log](std::int32_t kind, std::function<void(const ArchivePairClosed&)>) {
        log->recorder_kind = kind;
        return std::make_unique<FakeStore>(log);
    };
}

// A unit of `size` bytes whose bytes say which unit it is.
std::vector<std::uint8_t> unitOf(std::size_t size, std::uint8_t fill) { return std::vector<std::uint8_t>(size, fill); }

const DownloadRange kRange{0x0005, kAllRecordingKinds, 1'700'000'000, 1'700'003'600};

std::vector<std::uint8_t> rangeBytes() {
    const auto p = rangePayload(kRange);
    return {p.begin(), p.end()};
}

class DownloadRig {
public:
    DownloadRig() {
        options_.address = "127.0.0.1";
        options_.keep_alive_interval = 1h;
        session_ = std::make_unique<DvrSession>(options_, sink_);
        session_->observeSends([this](const MessageHeader& h, std::span<const std::uint8_t> p) {
            if (h.code() == static_cast<std::uint16_t>(Code::KEEP_ALIVE)) return;
            std::lock_guard lock(mutex_);
            sent_.emplace_back(h.code(), std::vector<std::uint8_t>(p.begin(), p.end()));
        });
    }
    DvrSession& session() { return *session_; }
    RecordingSink& sink() { return sink_; }
    void feed(const std::vector<std::uint8_t>& bytes) { session_->feed(bytes); }
    void unit(const std::vector<std::uint8_t>& u) { feed(message(Code::TRANS_ON_DATA, u)); }
    std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> sent() const {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    std::size_t count(Code code) const {
        const auto all = sent();
        return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), [code](const auto& s) {
            return s.first == static_cast<std::uint16_t>(code);
        }));
    }
    bool ended() const { return sink_.waitForCount<DownloadEnded>(1, 5000ms); }
    DownloadEnded end() const { return sink_.all<DownloadEnded>().at(0); }

private:
    SessionOptions options_;
    RecordingSink sink_;
    mutable std::mutex mutex_;
    std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> sent_;
    std::unique_ptr<DvrSession> session_;
};

TEST(DownloadRequests, RangeGoesOutAsMaskKindsZerosStartEndBigEndian) {
    const auto p = rangePayload(DownloadRange{0x8001, 0x04, 0x01020304, 0xA0B0C0D0});
    const std::array<std::uint8_t, 24> expected{0x00, 0x00, 0x80, 0x01, 0x04, 0, 0, 0, 0, 0, 0, 0,
                                                0,    0,    0,    0,    0x01, 0x02, 0x03, 0x04,
                                                0xA0, 0xB0, 0xC0, 0xD0};
    EXPECT_EQ(p, expected);
}

TEST(DownloadRequests, SizeAnswerAndRefusalsReachTheOwner) {
    DownloadRig rig;
    rig.session().downloadSize(kRange);
    EXPECT_TRUE(rig.session().downloadSizePending());
    ASSERT_EQ(rig.count(Code::TRANS_ON_REQ), 1u);
    EXPECT_EQ(rig.sent().back().second, rangeBytes());

    rig.feed(message(Code::TRANS_ON_ACK, word(123'456)));
    EXPECT_FALSE(rig.session().downloadSizePending());
    ASSERT_EQ(rig.sink().all<DownloadSize>().size(), 1u);
    EXPECT_EQ(rig.sink().all<DownloadSize>()[0], (DownloadSize{123'456, false}));

    // Reason 87 with its two words: the recorder's own shortage.
    auto refusal = word(87);
    for (auto w : {word(5), word(6)}) refusal.insert(refusal.end(), w.begin(), w.end());
    rig.session().downloadSize(kRange);
    rig.feed(message(Code::TRANS_ON_NACK, refusal));
    EXPECT_EQ(rig.sink().all<DownloadSize>().back(), (DownloadSize{0, true}));
    EXPECT_EQ(rig.sink().noticeCount(0x60005), 1u);

    rig.session().cancelCapacityCalculation();
    EXPECT_EQ(rig.count(Code::CAPA_CAL_CANCEL), 1u);
}

TEST(DownloadTransfer, WholeUnitsAreStoredInOrderAndDoneClosesThePair) {
    DownloadRig rig;
    auto log = std::make_shared<StoreLog>();
    ASSERT_TRUE(rig.session().downloadStart(kRange, fakeStores(log)));
    EXPECT_TRUE(rig.session().downloading());
    ASSERT_EQ(rig.count(Code::TRANS_DATA_REQ), 1u);
    EXPECT_EQ(rig.sent().back().second, rangeBytes());
    // A second start while one runs is refused.
    EXPECT_FALSE(rig.session().downloadStart(kRange, fakeStores(log)));

    // One unit in three fragments: stored only once the last one came.
    const auto big = unitOf(150'000, 0x11);
    rig.feed(message(Code::TRANS_ON_DATA, {big.begin(), big.begin() + 65'535}, Fragment::More));
    rig.feed(message(Code::TRANS_ON_DATA, {big.begin() + 65'535, big.begin() + 131'070}, Fragment::More));
    rig.feed(message(Code::TRANS_ON_DATA, {big.begin() + 131'070, big.end()}, Fragment::Last));
    rig.unit(unitOf(3000, 0x22));
    rig.feed(message(Code::TRANS_ON_DONE, {}));

    ASSERT_TRUE(rig.ended());
    EXPECT_EQ(rig.end(), (DownloadEnded{DownloadEndReason::Done, 153'000, {}}));
    EXPECT_FALSE(rig.session().downloading());
    EXPECT_EQ(rig.count(Code::TRANS_OFF_REQ), 1u);
    std::lock_guard lock(log->mutex);
    ASSERT_EQ(log->units.size(), 2u);
    EXPECT_EQ(log->units[0], big);
    EXPECT_EQ(log->units[1], unitOf(3000, 0x22));
    EXPECT_EQ(log->closes, 1);

    // Progress: non-decreasing, the last one the total.
    std::vector<std::uint32_t> kib;
    for (const auto& p : rig.sink().all<WindowPost>())
        if (p.message == WindowMessage::ProgressPosition) kib.push_back(p.wparam);
    ASSERT_FALSE(kib.empty());
    EXPECT_TRUE(std::is_sorted(kib.begin(), kib.end()));
    EXPECT_EQ(kib.back(), 153'000u >> 10);
}

TEST(DownloadTransfer, UnitLargerThanTheBufferIsDroppedAndTheNextStored) {
    DownloadRig rig;
    auto log = std::make_shared<StoreLog>();
    rig.session().downloadStart(kRange, fakeStores(log));
    const auto chunk = unitOf(65'535, 0x33);
    for (int i = 0; i < 20; ++i) rig.feed(message(Code::TRANS_ON_DATA, chunk, Fragment::More));  // 1.3 MB
    rig.feed(message(Code::TRANS_ON_DATA, chunk, Fragment::Last));
    rig.unit(unitOf(500, 0x44));
    rig.feed(message(Code::TRANS_ON_DONE, {}));
    ASSERT_TRUE(rig.ended());
    std::lock_guard lock(log->mutex);
    ASSERT_EQ(log->units.size(), 1u);
    EXPECT_EQ(log->units[0], unitOf(500, 0x44));
}

TEST(DownloadTransfer, WriteFailureStopsTheRecorderOnceAndKeepsWhatWasWritten) {
    DownloadRig rig;
    auto log = std::make_shared<StoreLog>();
    log->fail_at = 2;
    rig.session().downloadStart(kRange, fakeStores(log));
    rig.unit(unitOf(100, 1));
    rig.unit(unitOf(100, 2));
    ASSERT_TRUE(rig.ended());
    rig.unit(unitOf(100, 3));  // after the end: not stored
    rig.feed(message(Code::TRANS_ON_DONE, {}));

    const auto end = rig.end();
    EXPECT_EQ(end.reason, DownloadEndReason::WriteError);
    EXPECT_EQ(end.error, "No space left on device");
    EXPECT_EQ(rig.count(Code::TRANS_OFF_REQ), 1u);
    EXPECT_EQ(rig.sink().all<DownloadEnded>().size(), 1u);
    std::lock_guard lock(log->mutex);
    EXPECT_EQ(log->units.size(), 1u);
    EXPECT_EQ(log->closes, 1);
}

TEST(DownloadTransfer, FailEndsTheTransferBeforeItsNotice) {
    DownloadRig rig;
    auto log = std::make_shared<StoreLog>();
    rig.session().downloadStart(kRange, fakeStores(log));
    rig.unit(unitOf(64, 7));
    rig.feed(message(Code::TRANS_ON_FAIL, word(53)));
    ASSERT_TRUE(rig.ended());
    EXPECT_EQ(rig.end().reason, DownloadEndReason::Failed);
    EXPECT_EQ(rig.end().bytes, 64u);
    EXPECT_EQ(rig.count(Code::TRANS_OFF_REQ), 1u);
    // The end first, then the notice 0x60004.
    const auto events = rig.sink().events();
    const auto ended = std::find_if(events.begin(), events.end(),
                                    [](const Event& e) { return std::holds_alternative<DownloadEnded>(e); });
    const auto notice = std::find_if(events.begin(), events.end(), [](const Event& e) {
        const auto* n = std::get_if<Notice>(&e);
        return n != nullptr && n->lParam() == 0x60004;
    });
    ASSERT_NE(notice, events.end());
    EXPECT_LT(ended, notice);
}

TEST(DownloadTransfer, OperatorStopSendsTransOffAndCloseWithoutConnectionIsALoss) {
    {
        DownloadRig rig;
        auto log = std::make_shared<StoreLog>();
        rig.session().downloadStart(kRange, fakeStores(log));
        rig.unit(unitOf(10, 1));
        rig.session().downloadStop();
        ASSERT_TRUE(rig.ended());
        EXPECT_EQ(rig.end().reason, DownloadEndReason::Cancelled);
        EXPECT_EQ(rig.count(Code::TRANS_OFF_REQ), 1u);
        std::lock_guard lock(log->mutex);
        EXPECT_EQ(log->units.size(), 1u);
    }
    {
        // Fed by hand, the session has no connection: its close ends the
        // transfer as lost, without TRANS_OFF_REQ.
        DownloadRig rig;
        auto log = std::make_shared<StoreLog>();
        rig.session().downloadStart(kRange, fakeStores(log));
        rig.unit(unitOf(10, 1));
        rig.session().close();
        ASSERT_TRUE(rig.ended());
        EXPECT_EQ(rig.end().reason, DownloadEndReason::Lost);
        EXPECT_EQ(rig.count(Code::TRANS_OFF_REQ), 0u);
        std::lock_guard lock(log->mutex);
        EXPECT_EQ(log->closes, 1);
    }
}

TEST(DownloadTransfer, RecorderCloseIsHandledAfterTheUnitsItSentBeforeIt) {
    RecordingSink sink;
    SessionOptions options;
    options.address = "127.0.0.1";
    options.close_grace = 0ms;
    DvrSession session(options, sink);
    auto [fd, peer] = socketPair();
    session.adopt(std::move(fd));
    auto log = std::make_shared<StoreLog>();
    ASSERT_TRUE(session.downloadStart(kRange, fakeStores(log)));
    ASSERT_TRUE(peer.readUntil(Code::TRANS_DATA_REQ));
    for (std::uint8_t i = 0; i < 50; ++i) peer.send(Code::TRANS_ON_DATA, unitOf(20'000, i));
    peer.close();
    ASSERT_TRUE(sink.waitForNotice(0x20000, 5000ms));
    session.close();
    ASSERT_TRUE(sink.waitForCount<DownloadEnded>(1, 5000ms));
    const auto end = sink.all<DownloadEnded>()[0];
    EXPECT_EQ(end.reason, DownloadEndReason::Lost);
    EXPECT_EQ(end.bytes, 50u * 20'000u);
    std::lock_guard lock(log->mutex);
    ASSERT_EQ(log->units.size(), 50u);
    EXPECT_EQ(log->units.back(), unitOf(20'000, 49));
    EXPECT_EQ(log->closes, 1);
}

TEST(DownloadSearches, BackupMonthAndDayAnswersAreMarkedForTheBackupCalendar) {
    DownloadRig rig;
    rig.session().backupMonth();
    EXPECT_TRUE(rig.session().backupSearchPending());
    rig.feed(message(Code::TRANS_INFO_MONTH_ACK, std::vector<std::uint8_t>(376, 1)));
    EXPECT_FALSE(rig.session().backupSearchPending());
    rig.session().backupDay(2024, 5, 1);
    const auto day_request = rig.sent().back();
    EXPECT_EQ(day_request.first, static_cast<std::uint16_t>(Code::TRANS_INFO_DAY_REQ));
    EXPECT_EQ(day_request.second, (std::vector<std::uint8_t>{0, 0, 0x07, 0xE8, 5, 1, 0, 0}));
    rig.feed(message(Code::TRANS_INFO_DAY_NACK, word(83)));
    const auto answers = rig.sink().all<SearchAnswer>();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_TRUE(answers[0].backup);
    EXPECT_EQ(answers[0].kind, SearchKind::Month);
    EXPECT_EQ(answers[0].count(), 1u);
    EXPECT_TRUE(answers[1].refused);
    EXPECT_EQ(rig.sink().noticeCount(0x40000), 1u);
}

}  // namespace
}  // namespace kalix::session
