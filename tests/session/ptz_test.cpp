// PTZ requests and the recorder's answer, fed through the session without a
// socket: what goes on the wire and when.

#include <gtest/gtest.h>

#include "protocol/byte_order.h"
#include "session/dvr_session.h"
#include "session_test_support.h"

namespace kalix::session {
namespace {

using namespace testing;
using protocol::Code;

struct Sent {
    std::uint16_t code;
    std::vector<std::uint8_t> payload;
};

struct PtzRig {
    PtzRig() {
        SessionOptions o;
        o.address = "127.0.0.1";
        o.close_grace = 1ms;
        o.live_stop_pause = 1ms;
        session = std::make_unique<DvrSession>(o, sink);
        session->observeSends([this](const protocol::MessageHeader& h, std::span<const std::uint8_t> p) {
            sent.push_back({h.code(), {p.begin(), p.end()}});
        });
    }
    void answer(std::vector<std::uint8_t> payload) {
        session->feed(testing::message(Code::PTZ_CHANNEL_ACK, payload));
    }
    std::vector<Sent> moves() const {
        std::vector<Sent> out;
        for (const auto& s : sent)
            if (s.code == static_cast<std::uint16_t>(Code::PTZ_MOVE_REQ) ||
                s.code == static_cast<std::uint16_t>(Code::PTZ_MOVE_STOP))
                out.push_back(s);
        return out;
    }
    RecordingSink sink;
    std::vector<Sent> sent;  // outlives the session, whose close still sends
    std::unique_ptr<DvrSession> session;
};

TEST(PtzPayloads, NumbersSplitIntoLowAndHighBytesAroundAZero) {
    EXPECT_EQ(ptzMovePayload(PtzCommand::PresetGo, 300), (std::array<std::uint8_t, 4>{9, 0x2C, 0, 0x01}));
    EXPECT_EQ(ptzMovePayload(PtzCommand::PresetSet, 999), (std::array<std::uint8_t, 4>{8, 0xE7, 0, 0x03}));
    EXPECT_EQ(ptzMovePayload(PtzCommand::DomeOpen), (std::array<std::uint8_t, 4>{13, 0, 0, 0}));
    EXPECT_EQ(ptzChannelPayload(5, PtzForm::Zoom), (std::array<std::uint8_t, 4>{5, 1, 0, 0}));
}

TEST(PtzPayloads, ArrowsMapToTheCommandsOfEachForm) {
    EXPECT_EQ(arrowCommand(PtzArrow::Right, PtzForm::Pan), PtzCommand::Right);
    EXPECT_EQ(arrowCommand(PtzArrow::Left, PtzForm::Pan), PtzCommand::Left);
    EXPECT_EQ(arrowCommand(PtzArrow::Up, PtzForm::Pan), PtzCommand::Up);
    EXPECT_EQ(arrowCommand(PtzArrow::Down, PtzForm::Pan), PtzCommand::Down);
    EXPECT_EQ(arrowCommand(PtzArrow::Up, PtzForm::Zoom), PtzCommand::ZoomUp);
    EXPECT_EQ(arrowCommand(PtzArrow::Down, PtzForm::Zoom), PtzCommand::ZoomDown);
    EXPECT_EQ(arrowCommand(PtzArrow::Right, PtzForm::Zoom), PtzCommand::ZoomRight);
    EXPECT_EQ(arrowCommand(PtzArrow::Left, PtzForm::Zoom), PtzCommand::ZoomLeft);
}

TEST(Ptz, NothingMovesBeforeTheRecorderConfirmsTheChannel) {
    PtzRig rig;
    auto& ptz = rig.session->ptz();
    ASSERT_TRUE(ptz.requestChannel(3, PtzForm::Pan));
    ASSERT_EQ(rig.sent.size(), 1u);
    EXPECT_EQ(rig.sent[0].code, static_cast<std::uint16_t>(Code::PTZ_CHANNEL_REQ));
    EXPECT_EQ(rig.sent[0].payload, (std::vector<std::uint8_t>{3, 0, 0, 0}));

    EXPECT_FALSE(ptz.move(PtzCommand::Up));
    EXPECT_FALSE(ptz.stopMove());
    EXPECT_TRUE(rig.moves().empty());

    rig.answer({1});
    EXPECT_EQ(ptz.state(), PtzState::HasPtz);
    EXPECT_EQ(rig.sink.all<PtzChannelAnswer>(), (std::vector<PtzChannelAnswer>{{3, true}}));
    EXPECT_TRUE(ptz.move(PtzCommand::Up));
    EXPECT_TRUE(ptz.stopMove());
    const auto moves = rig.moves();
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].payload, (std::vector<std::uint8_t>{2, 0, 0, 0}));
    EXPECT_EQ(moves[1].code, static_cast<std::uint16_t>(Code::PTZ_MOVE_STOP));
    EXPECT_TRUE(moves[1].payload.empty());
}

TEST(Ptz, AnythingButOneInByteZeroMeansNoPtz) {
    for (const auto& payload : {std::vector<std::uint8_t>{0}, std::vector<std::uint8_t>{2, 1, 1, 1},
                                std::vector<std::uint8_t>{0xFF}}) {
        PtzRig rig;
        rig.session->ptz().requestChannel(0, PtzForm::Pan);
        rig.answer(payload);
        EXPECT_EQ(rig.session->ptz().state(), PtzState::NoPtz);
        EXPECT_FALSE(rig.session->ptz().move(PtzCommand::Right));
        EXPECT_TRUE(rig.moves().empty());
    }
}

TEST(Ptz, AskingForAnotherChannelWithdrawsTheConfirmation) {
    PtzRig rig;
    auto& ptz = rig.session->ptz();
    ptz.requestChannel(1, PtzForm::Pan);
    rig.answer({1});
    ptz.requestChannel(2, PtzForm::Zoom);
    EXPECT_FALSE(ptz.move(PtzCommand::ZoomUp));
    EXPECT_TRUE(rig.moves().empty());
    EXPECT_FALSE(ptz.requestChannel(16, PtzForm::Pan));
    EXPECT_FALSE(ptz.requestChannel(-1, PtzForm::Pan));
}

TEST(Ptz, APendingLearnIsStoppedBeforeLiveViewStops) {
    PtzRig rig;
    auto& ptz = rig.session->ptz();
    ptz.requestChannel(0, PtzForm::Pan);
    rig.answer({1});
    ASSERT_TRUE(ptz.move(PtzCommand::LearnStart, 7));
    EXPECT_TRUE(ptz.learnPending());
    rig.sent.clear();
    rig.session->liveStop();
    ASSERT_GE(rig.sent.size(), 2u);
    EXPECT_EQ(rig.sent[0].code, static_cast<std::uint16_t>(Code::PTZ_MOVE_REQ));
    EXPECT_EQ(rig.sent[0].payload, (std::vector<std::uint8_t>{11, 7, 0, 0}));
    EXPECT_EQ(rig.sent[1].code, static_cast<std::uint16_t>(Code::LIVE_STOP));
    EXPECT_FALSE(ptz.learnPending());
    EXPECT_EQ(ptz.state(), PtzState::NotAsked);
    // A second reset has nothing left to stop.
    rig.sent.clear();
    ptz.reset();
    EXPECT_TRUE(rig.sent.empty());
}

TEST(Ptz, AStoppedLearnIsNotStoppedAgain) {
    PtzRig rig;
    auto& ptz = rig.session->ptz();
    ptz.requestChannel(0, PtzForm::Pan);
    rig.answer({1});
    ptz.move(PtzCommand::LearnStart, 2);
    ptz.move(PtzCommand::LearnStop, 2);
    rig.sent.clear();
    ptz.reset();
    EXPECT_TRUE(rig.moves().empty());
}

}  // namespace
}  // namespace kalix::session
