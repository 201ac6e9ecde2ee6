// The firmware feature on a session: the request, the pieces of the file on
// the wire, the progress, and the recorder's answers to the upgrade window.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "session/dvr_session.h"
#include "session_test_support.h"

namespace kalix::session {
namespace {

using namespace testing;
using protocol::Code;

SessionOptions fastOptions() {
    SessionOptions o;
    o.address = "127.0.0.1";
    o.user = "admin";
    o.close_grace = 10ms;
    o.live_stop_pause = 1ms;
    return o;
}

struct Rig {
    Rig() : session(fastOptions(), sink, nullptr) {
        auto [client, recorder] = socketPair();
        peer.emplace(std::move(recorder));
        session.adopt(std::move(client));
    }
    RecordingSink sink;
    std::optional<ScriptedPeer> peer;
    DvrSession session;
};

std::filesystem::path fileOf(std::size_t size, const std::string& name) {
    const auto path = std::filesystem::temp_directory_path() / ("kalix-fw-" + name + "-" + std::to_string(::getpid()));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>(i * 31 + 7));
    return path;
}

// Reads the pieces until the one marked last; the bytes in order.
std::vector<PeerMessage> readPieces(ScriptedPeer& peer, std::size_t max = 100) {
    std::vector<PeerMessage> out;
    while (out.size() < max) {
        auto m = peer.read();
        if (!m) break;
        out.push_back(*m);
        if (m->header.lastFragment()) break;
    }
    return out;
}

FirmwareProgress lastProgress(const RecordingSink& sink) {
    const auto all = sink.all<FirmwareProgress>();
    return all.empty() ? FirmwareProgress{} : all.back();
}

bool ended(const std::vector<Event>& es) {
    for (const auto& e : es)
        if (const auto* p = std::get_if<FirmwareProgress>(&e); p && p->end != FirmwareProgress::End::None) return true;
    return false;
}

TEST(FirmwareUpload, FilesGoInPiecesOfEightThousandTheLastMarked) {
    struct Case {
        std::size_t size;
        std::vector<std::uint16_t> pieces;
    };
    for (const Case& c : {Case{8000, {8000}}, Case{8001, {8000, 1}}, Case{20000, {8000, 8000, 4000}}}) {
        Rig rig;
        const auto path = fileOf(c.size, "pieces");
        rig.session.firmwareUpload(path, 3);
        const auto pieces = readPieces(*rig.peer);
        ASSERT_EQ(pieces.size(), c.pieces.size()) << c.size;
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            const auto& h = pieces[i].header;
            EXPECT_EQ(h.code(), static_cast<std::uint16_t>(Code::FW_DATA));
            EXPECT_EQ(h.payloadLen(), c.pieces[i]);
            EXPECT_EQ(h.lastFragment(), i + 1 == pieces.size());
            // Only the code, the length and the last-fragment bit are set.
            EXPECT_EQ(h.word0 & 0x7Fu, 0u);
            EXPECT_EQ(h.word1 & ~(0xFFFFu | (1u << 30)), 0u);
            EXPECT_EQ(h.word2, 0u);
            EXPECT_EQ(h.word3, 0u);
            bytes.insert(bytes.end(), pieces[i].payload.begin(), pieces[i].payload.end());
        }
        ASSERT_EQ(bytes.size(), c.size);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            ASSERT_EQ(bytes[i], static_cast<std::uint8_t>(i * 31 + 7)) << "byte " << i;

        ASSERT_TRUE(rig.sink.waitFor(ended));
        const auto progress = rig.sink.all<FirmwareProgress>();
        ASSERT_EQ(progress.size(), c.pieces.size());  // one per piece, the last with the end
        EXPECT_EQ(progress.back().end, FirmwareProgress::End::Complete);
        EXPECT_EQ(progress.back().percent, 100);
        EXPECT_EQ(progress.back().tag, 3u);
        if (c.size == 20000) {
            EXPECT_EQ(progress[0].percent, 40);
        }
        if (c.size == 8001) {
            EXPECT_EQ(progress[0].percent, 99);  // 8000 x 100 / 8001, rounded down
        }
        std::filesystem::remove(path);
    }
}

TEST(FirmwareUpload, AnEmptyOrMissingFileSendsNoPiece) {
    Rig rig;
    const auto empty = fileOf(0, "empty");
    rig.session.firmwareUpload(empty, 1);
    ASSERT_TRUE(rig.sink.waitFor(ended));
    EXPECT_EQ(lastProgress(rig.sink).end, FirmwareProgress::End::Complete);
    EXPECT_EQ(lastProgress(rig.sink).sent, 0u);

    rig.session.firmwareUpload("/nonexistent/kalix-firmware.bin", 2);
    ASSERT_TRUE(rig.sink.waitFor([](const std::vector<Event>& es) {
        for (const auto& e : es)
            if (const auto* p = std::get_if<FirmwareProgress>(&e); p && p->tag == 2) return true;
        return false;
    }));
    EXPECT_EQ(lastProgress(rig.sink).end, FirmwareProgress::End::NotOpened);
    EXPECT_FALSE(rig.peer->read(200ms).has_value());
    std::filesystem::remove(empty);
}

TEST(FirmwareUpload, TheRequestGoesOutAsGivenAndOnlyWithFiftySixBytes) {
    Rig rig;
    std::vector<std::uint8_t> payload(56);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i);
    EXPECT_FALSE(rig.session.firmwareRequest(std::span(payload).first(55)));
    EXPECT_TRUE(rig.session.firmwareRequest(payload));
    const auto m = rig.peer->read();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header.code(), static_cast<std::uint16_t>(Code::FW_UPDATE_REQ));
    EXPECT_EQ(m->payload, payload);
}

TEST(FirmwareUpload, AnswersReachTheUpgradeWindowWithTheirReasons) {
    Rig rig;
    rig.peer->send(Code::FW_UPDATE_ACK);
    rig.peer->send(Code::FW_UPDATE_NACK, word(17));
    rig.peer->send(Code::FW_DATA_RX_DONE);
    rig.peer->send(Code::FW_DATA_RX_FAIL, word(4));
    rig.peer->send(Code::FW_UPDATE_DONE);
    rig.peer->send(Code::FW_UPDATE_FAIL, word(0xFFFFFFFEu));
    ASSERT_TRUE(rig.sink.waitForCount<WindowPost>(6));
    const std::vector<WindowPost> expected = {
        {WindowMessage::FirmwareAccepted, Owner::Firmware, 0},   {WindowMessage::FirmwareRefused, Owner::Firmware, 17},
        {WindowMessage::FirmwareDataReceived, Owner::Firmware, 0}, {WindowMessage::FirmwareDataFailed, Owner::Firmware, 4},
        {WindowMessage::FirmwareDone, Owner::Firmware, 0},       {WindowMessage::FirmwareFailed, Owner::Firmware, 0xFFFFFFFEu}};
    EXPECT_EQ(rig.sink.all<WindowPost>(), expected);
    // The refusal raises no notice of its own: the window shows it.
    EXPECT_TRUE(rig.sink.all<Notice>().empty());
}

TEST(FirmwareUpload, StopEndsTheUploadBeforeItsNextPiece) {
    Rig rig;
    const std::size_t size = 32u << 20;
    const auto path = fileOf(size, "big");
    std::atomic<std::size_t> received{0};
    std::atomic<bool> last_seen{false};
    std::jthread reader([&](std::stop_token stop) {
        while (!stop.stop_requested()) {
            const auto m = rig.peer->read(300ms);
            if (!m) continue;
            received += m->payload.size();
            if (m->header.lastFragment()) last_seen = true;
        }
    });
    rig.session.firmwareUpload(path, 1);
    ASSERT_TRUE(rig.sink.waitForCount<FirmwareProgress>(1));
    rig.session.firmwareStop();
    EXPECT_FALSE(rig.session.firmwareUploading());
    ASSERT_TRUE(rig.sink.waitFor(ended));
    const auto end = lastProgress(rig.sink);
    EXPECT_EQ(end.end, FirmwareProgress::End::Stopped);
    EXPECT_LT(end.sent, size);
    // Nothing goes out after the stop.
    std::this_thread::sleep_for(200ms);
    reader.request_stop();
    reader.join();
    EXPECT_EQ(received.load(), end.sent);
    EXPECT_FALSE(last_seen.load());
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace kalix::session
