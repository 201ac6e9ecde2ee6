// The session core without a socket: a recorded conversation fed in pieces
// of every size, and handlers fed as byte spans.

#include <gtest/gtest.h>

#include <sstream>

#include "../media/audio_test_support.h"
#include "protocol/byte_order.h"
#include "session/dvr_session.h"
#include "session_test_support.h"

namespace kalix::session {
namespace {

using namespace testing;
using protocol::Code;
using protocol::Fragment;
using protocol::MessageHeader;

class FirstChannel final : public AudioChannelOwner {
public:
    int recheck(std::uint32_t) override { return 0; }
    void select(int channel) override { selections.push_back(channel); }
    int selected() const override { return 0; }
    std::vector<int> selections;
};

// The recorder's side of a short session, as bytes on the wire.
class Conversation {
public:
    Conversation& add(Code code, const std::vector<std::uint8_t>& payload, Fragment fragment = Fragment::Last,
                      bool audio_on = false, std::uint32_t time = 0) {
        auto h = MessageHeader::make(code, static_cast<std::uint16_t>(payload.size()), fragment);
        h.setAudioOn(audio_on);
        h.word3 = time;
        const auto head = h.encode();
        bytes_.insert(bytes_.end(), head.begin(), head.end());
        bytes_.insert(bytes_.end(), payload.begin(), payload.end());
        return *this;
    }
    // A unit cut into fragments of at most `piece` bytes.
    Conversation& unit(const std::vector<std::uint8_t>& unit, std::size_t piece, bool audio_on, std::uint32_t time) {
        for (std::size_t at = 0; at < unit.size(); at += piece) {
            const std::size_t n = std::min(piece, unit.size() - at);
            const auto first = unit.begin() + static_cast<std::ptrdiff_t>(at);
            add(Code::LIVE_DATA, {first, first + static_cast<std::ptrdiff_t>(n)},
                at + n == unit.size() ? Fragment::Last : Fragment::More, audio_on, time);
        }
        return *this;
    }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

std::vector<std::uint8_t> picture(std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> p(n);
    for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<std::uint8_t>(seed + i * 7);
    return p;
}

Conversation recorded() {
    Conversation c;
    c.add(Code::HELLO48_ACK, helloAnswer(11, 4))
        .add(Code::LIVE_CHANNEL_INFO, word(0x0008000F))
        .unit(liveUnit(picture(90, 1), 2, true, 704, 576), 150, false, 1000)
        .unit(audioUnit(0x0005, 2), 200, true, 1000)
        .add(Code::PLAY_ON_NACK, word(1))
        .add(static_cast<Code>(300), std::vector<std::uint8_t>(10, 0xAB))
        .add(Code::LIVE_CHANNEL_INFO, {0, 1})  // too short: no effect
        .add(Code::A_LISTEN_NACK, word(2))
        .add(Code::PLAY_INFO_MONTH_NACK, word(83))
        .add(Code::REC_STATUS, word(1))  // not the 16 bytes it should be
        .unit(liveUnit(picture(20, 9), 3, false, 704, 576), 1000, false, 1001)
        .add(Code::LIVE_DATA, {}, Fragment::Last)  // an empty unit
        .add(Code::BYE48, word(2));
    return c;
}

std::string render(const Event& event) {
    std::ostringstream out;
    std::visit(
        [&out](const auto& e) {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<T, Notice>) {
                out << "notice " << std::hex << e.lParam() << " owner " << int(e.owner);
            } else if constexpr (std::is_same_v<T, MessageBoxRequest>) {
                out << "box " << e.text;
            } else if constexpr (std::is_same_v<T, ControlState>) {
                out << "control " << int(e.control) << " " << int(e.look);
            } else if constexpr (std::is_same_v<T, LoginAccepted>) {
                out << "login " << int(e.identity.channel_num) << " " << e.identity.recorder_kind;
            } else if constexpr (std::is_same_v<T, ConnectFailed>) {
                out << "connect-failed " << e.error;
            } else if constexpr (std::is_same_v<T, LiveChannels>) {
                out << "live " << std::hex << e.mask;
            } else if constexpr (std::is_same_v<T, SearchAnswer>) {
                out << "search " << int(e.kind) << " " << e.records.size() << " " << e.word1 << " " << e.word2
                    << (e.refused ? " refused" : "");
            } else if constexpr (std::is_same_v<T, PlaybackChanged>) {
                out << "playback " << e.on;
            } else if constexpr (std::is_same_v<T, PlaybackRefused>) {
                out << "playback-refused " << e.failed;
            } else if constexpr (std::is_same_v<T, PlayChannels>) {
                out << "play-channels " << std::hex << e.mask;
            } else if constexpr (std::is_same_v<T, LogAnswer>) {
                out << "log " << e.entries.size() << (e.refused ? " refused" : "");
            } else if constexpr (std::is_same_v<T, StatusAnswer>) {
                out << "status " << e.bytes.size() << (e.refused ? " refused" : "");
            } else if constexpr (std::is_same_v<T, PtzChannelAnswer>) {
                out << "ptz " << e.channel << " " << e.ptz;
            } else if constexpr (std::is_same_v<T, AdministrationChanged>) {
                out << "admin " << int(e.what);
            } else if constexpr (std::is_same_v<T, RightsApplied>) {
                out << "rights " << e.close_search << e.close_search_window << e.stop_playback << e.stop_download
                    << e.clear_remote_play << e.close_ptz;
            } else if constexpr (std::is_same_v<T, AdminAnswer>) {
                out << "admin-answer " << int(e.request) << " " << e.accepted << " " << e.reason;
            } else if constexpr (std::is_same_v<T, FirmwareProgress>) {
                out << "firmware-progress " << e.tag << " " << e.sent << " " << e.size << " " << int(e.end);
            } else if constexpr (std::is_same_v<T, DownloadSize>) {
                out << "download-size " << e.kib << (e.refused ? " refused" : "");
            } else if constexpr (std::is_same_v<T, ArchivePairClosed>) {
                out << "archive-pair " << e.idx;
            } else if constexpr (std::is_same_v<T, DownloadEnded>) {
                out << "download-ended " << int(e.reason) << " " << e.bytes;
            } else {
                out << "post " << int(e.message) << " " << int(e.owner) << " " << e.wparam << " " << e.lparam;
            }
        },
        event);
    return out.str();
}

// What a session made of the bytes: events, frames and blocks handed on,
// and messages sent (the keep-alive thread's left out: its timing is its own).
std::vector<std::string> transcript(const std::vector<std::uint8_t>& bytes, std::span<const std::size_t> cuts) {
    std::vector<std::string> lines;
    FirstChannel owner;
    RecordingSink sink;
    SessionOptions o;
    o.address = "127.0.0.1";
    o.user = "admin";
    o.live_stop_pause = 0ms;
    o.keep_alive_interval = 1h;
    o.live_audio.make_output = [] { return std::make_unique<media::test::FakeSoundOutput>(); };
    o.live_audio.channels = &owner;
    o.live_audio.block_queued = [&lines](const media::AudioBlock& b) {
        lines.push_back("block " + std::to_string(b[0]) + " " + std::to_string(b[47]));
    };
    o.live_video.frame_handed_over = [&lines](const media::FrameItem& f) {
        std::ostringstream out;
        out << "frame ch" << int(f.info.channel) << " len " << f.decode_len << " epoch " << f.epoch << " t "
            << f.header.frameTime() << " first " << int(f.data.empty() ? -1 : f.data.front());
        lines.push_back(out.str());
    };
    DvrSession session(o, sink);
    session.observeSends([&lines](const MessageHeader& h, std::span<const std::uint8_t> p) {
        if (h.code() != static_cast<std::uint16_t>(Code::KEEP_ALIVE))
            lines.push_back("send " + std::to_string(h.code()) + " +" + std::to_string(p.size()));
    });
    std::size_t at = 0;
    for (std::size_t cut : cuts) {
        session.feed(std::span(bytes).subspan(at, cut - at));
        at = cut;
    }
    session.feed(std::span(bytes).subspan(at));
    for (const auto& e : sink.events()) lines.push_back(render(e));
    for (int s : owner.selections) lines.push_back("select " + std::to_string(s));
    return lines;
}

TEST(SessionCore, RecordedConversationGivesTheSameResultAtEverySplit) {
    const auto bytes = recorded().bytes();
    const auto whole = transcript(bytes, {});
    // The conversation does what it should, so the comparison means something.
    const auto has = [&whole](const std::string& line) {
        return std::find(whole.begin(), whole.end(), line) != whole.end();
    };
    EXPECT_TRUE(has("send 16 +4"));            // LIVE_REQ after the login
    EXPECT_TRUE(has("login 4 3"));
    EXPECT_TRUE(has("live 8000f"));
    EXPECT_TRUE(has("frame ch2 len 90 epoch 1 t 1000 first 1"));
    EXPECT_TRUE(has("frame ch3 len 20 epoch 1 t 1001 first 9"));
    EXPECT_TRUE(has("block 16 16"));           // channel 0's block of the mask 0x0005
    EXPECT_TRUE(has("notice 60000 owner 0"));  // PLAY_ON_NACK
    EXPECT_TRUE(has("post 21054 0 0 0"));      // A_LISTEN_NACK 2 ends the talk first
    EXPECT_TRUE(has("notice 60001 owner 0"));
    EXPECT_TRUE(has("search 1 0 0 0"));      // an empty month wakes the calendar
    EXPECT_TRUE(has("notice 30001 owner 0"));  // BYE48 2
    EXPECT_EQ(std::count_if(whole.begin(), whole.end(), [](const auto& l) { return l.starts_with("live "); }), 1);

    for (std::size_t cut = 1; cut < bytes.size(); ++cut) {
        const std::size_t cuts[] = {cut};
        ASSERT_EQ(transcript(bytes, cuts), whole) << "split at byte " << cut;
    }
    std::vector<std::size_t> every(bytes.size() - 1);
    for (std::size_t i = 0; i < every.size(); ++i) every[i] = i + 1;
    EXPECT_EQ(transcript(bytes, every), whole) << "one byte at a time";
}

TEST(SessionCore, PayloadsThatBreakTheirRuleAreDroppedOnceForEveryFeature) {
    RecordingSink sink;
    SessionOptions o;
    DvrSession session(o, sink);
    Conversation c;
    c.add(Code::LIVE_CHANNEL_INFO, {1, 2, 3})  // at least 4
        .add(Code::REC_STATUS, std::vector<std::uint8_t>(17))
        .add(Code::HELLO48_ACK, std::vector<std::uint8_t>(767));  // the login handler judges it
    session.feed(c.bytes());
    EXPECT_FALSE(session.liveOn());
    EXPECT_TRUE(sink.all<LiveChannels>().empty());
    ASSERT_EQ(sink.all<MessageBoxRequest>().size(), 1u);
    EXPECT_EQ(sink.all<MessageBoxRequest>()[0].text, "Not MOSS-X or LARK!");
    EXPECT_EQ(sink.noticeCount(0x20000), 1u);
}

TEST(DispatchTable, RegisteredHandlerFallbackAndReassembly) {
    DispatchTable table;
    std::vector<std::string> calls;
    ReassemblyBuffer units(8);
    table.on(Code::LIVE_CHANNEL_INFO, [&](const auto&, auto p) { calls.push_back("info " + std::to_string(p.size())); });
    table.onUnit(Code::LIVE_DATA, units, [&](const auto& h, auto p) {
        calls.push_back("unit " + std::to_string(p.size()) + (h.lastFragment() ? " last" : ""));
    });
    table.fallback(protocol::PayloadRule::Reason, [&](const auto& h, auto) { calls.push_back("refusal " + std::to_string(h.code())); });

    auto send = [&table](Code code, std::size_t n, Fragment f = Fragment::Last) {
        const std::vector<std::uint8_t> payload(n, 1);
        table.dispatch(MessageHeader::make(code, static_cast<std::uint16_t>(n), f), payload);
    };
    send(Code::LIVE_CHANNEL_INFO, 4);
    send(Code::LIVE_CHANNEL_INFO, 3);  // breaks its rule
    send(Code::LIVE_DATA, 5, Fragment::More);
    send(Code::LIVE_DATA, 3);
    send(Code::LIVE_DATA, 6, Fragment::More);
    send(Code::LIVE_DATA, 6);  // over the buffer: dropped whole
    send(Code::LIVE_DATA, 2);
    send(Code::LIVE_NACK, 4);           // no handler: the refusal fallback
    send(Code::REC_STATUS, 16);         // no handler, no fallback
    send(static_cast<Code>(300), 10);   // unknown code
    EXPECT_EQ(calls, (std::vector<std::string>{"info 4", "unit 8 last", "unit 2 last", "refusal 19"}));
}

}  // namespace
}  // namespace kalix::session
