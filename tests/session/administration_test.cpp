// Recorder administration in the session, without a socket: the recorder's
// messages are fed in as bytes, what the session sends is observed.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "protocol/byte_order.h"
#include "protocol/crc32.h"
#include "session/dvr_session.h"
#include "session_test_support.h"

namespace kalix::session {
namespace {

using namespace testing;
using protocol::Code;
using protocol::Fragment;
using protocol::MessageHeader;

// A rights message of either layout: `users` names with their rows.
struct RightsUser {
    std::size_t slot;
    std::string name;
    RightsRow rights;
    std::string password = "pw";
};

std::vector<std::uint8_t> rightsPayload(bool second, const std::vector<RightsUser>& users) {
    const std::size_t per_row = second ? 50 : 8;
    const std::size_t names = second ? 450 : 72;
    const std::size_t passwords = second ? 2'050 : 328;
    std::vector<std::uint8_t> p(second ? kRightChange2Size : kRightChangeSize, 0);
    for (const auto& u : users) {
        for (std::size_t r = 0; r < kRightRows; ++r) p[r * per_row + u.slot] = u.rights[r];
        std::memcpy(p.data() + names + u.slot * 32, u.name.data(), u.name.size());
        std::memcpy(p.data() + passwords + u.slot * 32, u.password.data(), u.password.size());
    }
    return p;
}

constexpr RightsRow kAll{1, 1, 1, 1, 1, 1, 1, 1, 1};

RightsRow without(std::initializer_list<Right> taken) {
    RightsRow row = kAll;
    for (Right r : taken) row[static_cast<std::size_t>(r)] = 0;
    return row;
}

std::vector<std::uint8_t> dbChange(const std::vector<std::string>& titles, std::vector<int> covert = {}) {
    std::vector<std::uint8_t> p(kDbChangeSize, 0);
    protocol::putBe32(p.data(), 7);
    for (int c : covert) p[4 + static_cast<std::size_t>(c)] = 1;
    for (std::size_t c = 0; c < titles.size(); ++c)
        std::memcpy(p.data() + 20 + c * 32, titles[c].data(), std::min<std::size_t>(titles[c].size(), 32));
    std::memcpy(p.data() + 540, "arch", 4);
    return p;
}

std::vector<std::uint8_t> netLive(std::size_t slot, std::initializer_list<int> denied) {
    std::vector<std::uint8_t> p(kNetLiveSize, 1);
    for (int c : denied) p[slot * 16 + static_cast<std::size_t>(c)] = 0;
    return p;
}

class AdminRig {
public:
    // product_major / minor and account of the login answer.
    explicit AdminRig(std::uint8_t major = 2, std::uint8_t minor = 0, std::uint8_t account = 0,
                      std::string user = "Admin", std::uint8_t channels = 4) {
        SessionOptions options;
        options.address = "127.0.0.1";
        options.user = std::move(user);
        options.password = "pw";
        session_ = std::make_unique<DvrSession>(options, sink_);
        session_->observeSends([this](const MessageHeader& h, std::span<const std::uint8_t> p) {
            if (h.code() == static_cast<std::uint16_t>(Code::KEEP_ALIVE)) return;  // its own timing
            std::lock_guard lock(sent_mutex_);
            sent_.push_back({h, {p.begin(), p.end()}});
        });
        auto hello = helloAnswer(11, channels);
        hello[3] = major;
        hello[4] = minor;
        hello[7] = account;
        feed(message(Code::HELLO48_ACK, hello));
        std::lock_guard lock(sent_mutex_);
        sent_.clear();
    }
    void feed(const std::vector<std::uint8_t>& bytes) { session_->feed(bytes); }
    void send(Code code, const std::vector<std::uint8_t>& payload = {}) { feed(message(code, payload)); }
    DvrSession& session() { return *session_; }
    const Administration& admin() { return session_->administration(); }
    RecordingSink& sink() { return sink_; }
    std::vector<std::uint16_t> sentCodes() const {
        std::vector<std::uint16_t> codes;
        for (const auto& m : sent()) codes.push_back(m.header.code());
        return codes;
    }
    std::vector<PeerMessage> sent() const {
        std::lock_guard lock(sent_mutex_);
        return sent_;
    }

private:
    RecordingSink sink_;
    mutable std::mutex sent_mutex_;
    std::vector<PeerMessage> sent_;
    std::unique_ptr<DvrSession> session_;
};

constexpr auto kCode = [](Code c) { return static_cast<std::uint16_t>(c); };

TEST(Administration, RightsOfTheUserComeFromTheirOwnSlotMatchedWithoutCase) {
    AdminRig rig(2, 0, 0, "Admin");
    EXPECT_FALSE(rig.admin().rights());
    rig.send(Code::RIGHT_CHANGE, rightsPayload(false, {{0, "root", kAll}, {3, "ADMIN", without({Right::Reboot})}}));
    EXPECT_EQ(rig.admin().userIndex(), 3);
    EXPECT_EQ(rig.admin().rights(), without({Right::Reboot}));
    EXPECT_FALSE(rig.session().mayDo(Right::Reboot));
    EXPECT_TRUE(rig.session().mayDo(Right::Record));
    EXPECT_FALSE(rig.session().endRequested());
}

TEST(Administration, UserInTheUncopiedSlotsGetsThatSlotsRightsNotAnotherAccounts) {
    AdminRig rig;
    // Slot 0 holds every right; the user in slot 7 only the enabling rows.
    RightsRow narrow{};
    narrow[6] = narrow[8] = 1;
    rig.send(Code::RIGHT_CHANGE, rightsPayload(false, {{0, "root", kAll}, {7, "admin", narrow}}));
    EXPECT_EQ(rig.admin().userIndex(), 7);
    EXPECT_EQ(rig.admin().rights(), narrow);
    EXPECT_FALSE(rig.session().mayDo(Right::Record));
}

TEST(Administration, SecondRightsLayoutCountsSlotsFromSix) {
    AdminRig rig;
    rig.send(Code::RIGHT_CHANGE2, rightsPayload(true, {{20, "admin", without({Right::Ptz})}}));
    EXPECT_EQ(rig.admin().userIndex(), 26);
    EXPECT_FALSE(rig.admin().holds(Right::Ptz));
    const auto applied = rig.sink().all<RightsApplied>();
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_TRUE(applied[0].close_ptz);
}

TEST(Administration, DisabledOrMissingUserEndsTheSessionWithNoticeFifteen) {
    for (const auto& payload : {rightsPayload(false, {{3, "admin", without({Right::EnabledToo})}}),
                                rightsPayload(false, {{3, "admin", without({Right::Enabled})}}),
                                rightsPayload(false, {{3, "someone", kAll}})}) {
        AdminRig rig;
        rig.send(Code::RIGHT_CHANGE, payload);
        EXPECT_TRUE(rig.session().endRequested());
        EXPECT_EQ(rig.sink().noticeCount(0xF0000), 1u);
    }
}

TEST(Administration, WrongSizedRightsAreDroppedAndKeepTheSession) {
    AdminRig rig;
    auto p = rightsPayload(false, {{0, "admin", kAll}});
    p.pop_back();
    rig.send(Code::RIGHT_CHANGE, p);
    EXPECT_FALSE(rig.session().endRequested());
    EXPECT_FALSE(rig.admin().rights());
}

struct TabCase {
    std::uint8_t major, minor;
    RightsRow rights;
    std::optional<std::uint32_t> tabs;
    RightsApplied applied;
};

class RightsDecisions : public ::testing::TestWithParam<TabCase> {};

TEST_P(RightsDecisions, SearchHubAndOwnerHearWhatTheRightsAllow) {
    const TabCase& c = GetParam();
    AdminRig rig(c.major, c.minor);
    rig.send(Code::RIGHT_CHANGE, rightsPayload(false, {{1, "admin", c.rights}}));
    std::optional<std::uint32_t> tabs;
    for (const auto& post : rig.sink().all<WindowPost>())
        if (post.message == WindowMessage::RightsChanged) {
            EXPECT_EQ(post.owner, Owner::RemoteSearch);
            tabs = post.wparam;
        }
    EXPECT_EQ(tabs, c.tabs);
    const auto applied = rig.sink().all<RightsApplied>();
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0], c.applied);
}

INSTANTIATE_TEST_SUITE_P(
    Recorders, RightsDecisions,
    ::testing::Values(
        TabCase{2, 0, kAll, 0u, {}},
        TabCase{1, 1, without({Right::Search}), 1u, {false, true, true, false, true, false}},
        TabCase{2, 0, without({Right::Download}), 2u, {false, false, false, true, false, false}},
        TabCase{2, 0, without({Right::Search, Right::Download, Right::Ptz}), std::nullopt,
                {true, false, true, true, true, true}},
        // Recorders of version 1.0 only look at the search right.
        TabCase{1, 0, without({Right::Download}), std::nullopt, {}},
        TabCase{1, 0, without({Right::Search}), std::nullopt, {true, false, true, true, true, false}}));

TEST(Administration, RecordAnswersSetTheFlagByTheirWord) {
    AdminRig rig;
    struct Step {
        Code code;
        std::uint32_t word;
        bool recording;
    };
    for (const Step s : {Step{Code::REC_ON_ACK, 51, true}, Step{Code::REC_OFF_ACK, 52, false},
                         Step{Code::REC_OFF_ACK, 7, true}, Step{Code::REC_ON_ACK, 3, false},
                         Step{Code::REC_ON_ACK, 49, true}, Step{Code::REC_OFF_ACK, 50, false}}) {
        rig.send(s.code, word(s.word));
        EXPECT_EQ(rig.admin().recording(), s.recording) << s.word;
        EXPECT_EQ(rig.sink().all<ControlState>().back(),
                  (ControlState{ControlId::Record, s.recording ? ButtonLook::Pressed : ButtonLook::Released}));
    }
    std::vector<std::uint8_t> status(16, 0);
    protocol::putBe32(status.data() + 4, 5);
    rig.send(Code::REC_STATUS, status);
    EXPECT_TRUE(rig.admin().recording());
    protocol::putBe32(status.data() + 4, 6);
    rig.send(Code::REC_STATUS, status);
    EXPECT_FALSE(rig.admin().recording());
    status.resize(12);
    protocol::putBe32(status.data() + 4, 0);
    rig.send(Code::REC_STATUS, status);  // wrong size: dropped
    EXPECT_FALSE(rig.admin().recording());
}

TEST(Administration, RecordButtonFollowsRightsAndRecordingState) {
    AdminRig rig;
    EXPECT_EQ(rig.session().recordButton(), AdminSend::NotAllowed);  // no rights yet
    EXPECT_TRUE(rig.sentCodes().empty());
    EXPECT_EQ(rig.sink().noticeCount(0xF0000), 1u);

    rig.send(Code::RIGHT_CHANGE, rightsPayload(false, {{0, "admin", kAll}}));
    EXPECT_EQ(rig.session().recordButton(), AdminSend::Sent);
    rig.send(Code::REC_ON_ACK, word(49));
    EXPECT_EQ(rig.session().recordButton(), AdminSend::Sent);
    EXPECT_EQ(rig.sentCodes(), (std::vector{kCode(Code::REC_ON_REQ), kCode(Code::REC_OFF_REQ)}));
    for (const auto& m : rig.sent()) EXPECT_TRUE(m.payload.empty());
}

TEST(Administration, FirstRecordersDecideByTheAccountByteAndOnlySwitchOn) {
    AdminRig operator_account(0, 0, 1);
    EXPECT_EQ(operator_account.session().recordButton(), AdminSend::NotAllowed);
    AdminRig admin_account(0, 0, 0);
    admin_account.send(Code::REC_ON_ACK, word(49));
    EXPECT_EQ(admin_account.session().recordButton(), AdminSend::Sent);
    EXPECT_EQ(admin_account.sentCodes(), std::vector{kCode(Code::REC_ON_REQ)});
}

TEST(Administration, ChannelNamesReplaceTheDefaultCaptionsUpToTheirTerminator) {
    AdminRig rig;
    EXPECT_EQ(rig.session().channelName(2), "CH3");
    std::string long_name(40, 'x');  // no terminator within its 32 bytes
    rig.send(Code::DB_CHANGE, dbChange({"Lobby", "Gate\x01", long_name, "Caf\xe9"}));
    EXPECT_EQ(rig.session().channelName(0), "Lobby");
    EXPECT_EQ(rig.session().channelName(1), "Gate?");
    EXPECT_EQ(rig.session().channelName(2), std::string(32, 'x'));
    EXPECT_EQ(rig.session().channelName(3), "Caf\xc3\xa9");
    EXPECT_EQ(rig.admin().archivePassword(), "arch");
    EXPECT_EQ(rig.admin().dbChangeWord(), 7u);
    const auto state = rig.admin().state();
    ASSERT_EQ(state.channels.size(), 4u);
    EXPECT_EQ(state.channels[0].name, "Lobby");
}

TEST(Administration, HidingUsesTheLatestTablesWhateverTheirOrder) {
    // Covert channel 1, channel 2 not allowed live for the user in slot 2.
    const auto rights_without_covert = rightsPayload(false, {{2, "admin", without({Right::Covert})}});
    const auto rights_with_covert = rightsPayload(false, {{2, "admin", kAll}});
    const auto names = dbChange({"A", "B", "C", "D"}, {1});
    const auto live = netLive(2, {2});

    const std::vector<std::vector<std::pair<Code, std::vector<std::uint8_t>>>> orders = {
        {{Code::RIGHT_CHANGE, rights_without_covert}, {Code::NETLIVE_CH_CHANGE, live}, {Code::DB_CHANGE, names}},
        {{Code::DB_CHANGE, names}, {Code::NETLIVE_CH_CHANGE, live}, {Code::RIGHT_CHANGE, rights_without_covert}},
        {{Code::NETLIVE_CH_CHANGE, live}, {Code::DB_CHANGE, names}, {Code::RIGHT_CHANGE, rights_without_covert}},
    };
    for (const auto& order : orders) {
        AdminRig rig;
        for (const auto& [code, payload] : order) rig.send(code, payload);
        EXPECT_EQ(rig.admin().hiddenMask(), 0b0110u);
        EXPECT_FALSE(rig.session().channelVisible(1));
        EXPECT_FALSE(rig.session().channelVisible(2));
        EXPECT_TRUE(rig.session().channelVisible(3));
        EXPECT_FALSE(rig.session().channelVisible(4));  // beyond channel_num
        // Gaining the covert right shows the covert channel again.
        rig.send(Code::RIGHT_CHANGE, rights_with_covert);
        EXPECT_EQ(rig.admin().hiddenMask(), 0b0100u);
        const auto state = rig.admin().state();
        EXPECT_TRUE(state.channels[1].covert);
        EXPECT_FALSE(state.channels[2].live);
    }
}

TEST(Administration, FirstRecordersHideCovertChannelsFromAccountsOtherThanZero) {
    AdminRig guest(0, 0, 1);
    guest.send(Code::DB_CHANGE, dbChange({"A", "B"}, {0}));
    EXPECT_EQ(guest.admin().hiddenMask(), 1u);
    AdminRig admin(0, 0, 0);
    admin.send(Code::DB_CHANGE, dbChange({"A", "B"}, {0}));
    EXPECT_EQ(admin.admin().hiddenMask(), 0u);
}

TEST(Administration, StoredBlocksOfTheWrongSizeLeaveTheCopyCleared) {
    AdminRig rig;
    rig.send(Code::SYS_ETC_INFO, std::vector<std::uint8_t>(kSysEtcInfoSize, 1));
    rig.send(Code::DST_INFO, std::vector<std::uint8_t>(kDstInfoSize, 2));
    rig.send(Code::SYS_ETC_INFO_EX, std::vector<std::uint8_t>(kSysEtcInfoExSize, 3));
    EXPECT_EQ(rig.admin().state().blocks, (StoredBlockSizes{320, 3'200, 1'204, 0}));
    rig.send(Code::SYS_ETC_INFO, std::vector<std::uint8_t>(100, 1));
    EXPECT_EQ(rig.admin().state().blocks, (StoredBlockSizes{0, 3'200, 1'204, 0}));
    rig.send(Code::DVR_TIME_ACK, word(5));
    rig.send(Code::CAM_INFO_CHANGE, {1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    const auto state = rig.admin().state();
    EXPECT_EQ(state.channels[1].camera, false);
    EXPECT_EQ(state.channels[2].camera, true);
    EXPECT_EQ(rig.admin().cameraMask(), 0b101u);
}

std::vector<std::uint8_t> configUnit(const std::vector<std::uint8_t>& block, bool good = true) {
    std::vector<std::uint8_t> unit(4 + block.size());
    protocol::putBe32(unit.data(), protocol::crc32(block) ^ (good ? 0u : 1u));
    std::copy(block.begin(), block.end(), unit.begin() + 4);
    return unit;
}

void feedFragments(AdminRig& rig, const std::vector<std::uint8_t>& unit, std::size_t piece) {
    for (std::size_t at = 0; at < unit.size(); at += piece) {
        const std::size_t n = std::min(piece, unit.size() - at);
        const bool last = at + n == unit.size();
        rig.feed(message(Code::DB_INFO_ACK, {unit.begin() + static_cast<std::ptrdiff_t>(at),
                                             unit.begin() + static_cast<std::ptrdiff_t>(at + n)},
                         last ? Fragment::Last : Fragment::More));
    }
}

TEST(Administration, ConfigurationBlockIsKeptWhenItsCrcMatches) {
    AdminRig rig;
    std::vector<std::uint8_t> block(70'000);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 7);
    feedFragments(rig, configUnit(block), 30'000);
    EXPECT_EQ(rig.admin().configBlock(), block);
    EXPECT_EQ((rig.sink().all<WindowPost>().back()),
              (WindowPost{WindowMessage::ConfigurationStored, Owner::MainWindow, 0, 0}));

    feedFragments(rig, configUnit({1, 2, 3}, false), 2);
    EXPECT_EQ(rig.sink().noticeCount(0x90000), 1u);
    EXPECT_EQ(rig.admin().configBlock(), block);  // the bad one is not stored
}

TEST(Administration, ConfigurationUnitLargerThanItsBufferIsDroppedAndTheStreamStaysInStep) {
    AdminRig rig;
    const std::vector<std::uint8_t> piece(65'000, 7);
    for (int i = 0; i < 20; ++i) rig.feed(message(Code::DB_INFO_ACK, piece, Fragment::More));  // 1.3 MB
    rig.feed(message(Code::DB_INFO_ACK, piece, Fragment::Last));
    EXPECT_TRUE(rig.admin().configBlock().empty());
    const std::vector<std::uint8_t> block(100, 3);
    feedFragments(rig, configUnit(block), 60);
    EXPECT_EQ(rig.admin().configBlock(), block);
    rig.send(Code::REC_ON_ACK, word(49));
    EXPECT_TRUE(rig.admin().recording());
}

TEST(Administration, ConfigurationUnitShorterThanItsCrcIsAWrongCrc) {
    for (std::size_t size : {0u, 1u, 3u}) {
        AdminRig rig;
        rig.send(Code::DB_INFO_ACK, std::vector<std::uint8_t>(size, 0));
        EXPECT_EQ(rig.sink().noticeCount(0x90000), 1u) << size;
        EXPECT_TRUE(rig.admin().configBlock().empty());
    }
}

TEST(Administration, ConfigurationUpdateSendsCrcAndBlockOfTheStoredLength) {
    AdminRig rig;
    std::vector<std::uint8_t> block(1'000, 9);
    EXPECT_EQ(rig.session().configUpdate(block), AdminSend::NoBlock);
    feedFragments(rig, configUnit(block), 400);
    std::vector<std::uint8_t> edited(1'000, 4);
    EXPECT_EQ(rig.session().configUpdate(std::span(edited).first(999)), AdminSend::WrongSize);
    EXPECT_EQ(rig.session().configUpdate(edited), AdminSend::Sent);
    const auto sent = rig.sent();
    ASSERT_EQ(sent.size(), 1u);
    const auto& m = sent[0];
    EXPECT_EQ(m.header.code(), kCode(Code::DB_UPDATE_REQ));
    EXPECT_EQ(m.header.payloadLen(), 1'004u);
    EXPECT_EQ(protocol::be32(m.payload.data()), protocol::crc32(edited));
    EXPECT_TRUE(std::equal(edited.begin(), edited.end(), m.payload.begin() + 4));
    EXPECT_TRUE(rig.admin().configurationBusy());
    rig.send(Code::DB_UPDATE_ACK);
    EXPECT_FALSE(rig.admin().configurationBusy());
    EXPECT_EQ(rig.sink().noticeCount(0xA0000), 1u);
}

TEST(Administration, ConfigurationUpdateTooLongForOneMessageIsRefusedUnsent) {
    AdminRig rig;
    const std::vector<std::uint8_t> block(65'532, 1);  // 65,536 bytes with its CRC
    feedFragments(rig, configUnit(block), 60'000);
    ASSERT_EQ(rig.admin().configBlock().size(), block.size());
    EXPECT_EQ(rig.session().configUpdate(block), AdminSend::TooLarge);
    EXPECT_TRUE(rig.sent().empty());
    EXPECT_FALSE(rig.admin().configurationBusy());
}

TEST(Administration, RebootNeedsItsRightAndRefusalsRaiseTheirNotices) {
    AdminRig rig;
    rig.send(Code::RIGHT_CHANGE, rightsPayload(false, {{0, "admin", without({Right::Reboot})}}));
    EXPECT_EQ(rig.session().reboot(), AdminSend::NotAllowed);
    EXPECT_TRUE(rig.sent().empty());
    EXPECT_EQ(rig.session().databaseInit(), AdminSend::Sent);
    EXPECT_EQ(rig.sentCodes(), std::vector{kCode(Code::DB_INIT_REQ)});
    rig.send(Code::DB_INIT_NACK, word(97));
    EXPECT_EQ(rig.sink().noticeCount(0x60007), 1u);
    rig.send(Code::DB_UPDATE_NACK, word(81));
    EXPECT_EQ(rig.sink().noticeCount(0x70001), 1u);
    rig.send(Code::REC_ON_NACK, word(65));
    EXPECT_EQ(rig.sink().noticeCount(0x50001), 1u);
    const auto answers = rig.sink().all<AdminAnswer>();
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[0], (AdminAnswer{AdminRequest::DatabaseInit, false, 97, false}));
    EXPECT_EQ(answers[1].request, AdminRequest::ConfigUpdate);
    EXPECT_EQ(answers[2].request, AdminRequest::RecordOn);

    rig.send(Code::RIGHT_CHANGE, rightsPayload(false, {{0, "admin", kAll}}));
    EXPECT_EQ(rig.session().reboot(), AdminSend::Sent);
    rig.send(Code::REBOOT_ACK);
    EXPECT_EQ(rig.sink().all<AdminAnswer>().back(), (AdminAnswer{AdminRequest::Reboot, true, 0, false}));
}

TEST(Administration, NothingIsSentBeforeTheLoginAnswer) {
    RecordingSink sink;
    SessionOptions options;
    options.user = "admin";
    std::vector<std::uint16_t> sent;  // outlives the session, whose close the observer sees too
    DvrSession session(options, sink);
    session.observeSends([&](const MessageHeader& h, auto) { sent.push_back(h.code()); });
    EXPECT_EQ(session.reboot(), AdminSend::NotConnected);
    EXPECT_EQ(session.databaseInit(), AdminSend::NotConnected);
    EXPECT_EQ(session.recordButton(), AdminSend::NotConnected);
    EXPECT_TRUE(sent.empty());
}

}  // namespace
}  // namespace kalix::session
