#include "sim/recorder_sim.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>

#include "protocol/byte_order.h"
#include "protocol/transport.h"
#include "raw_client.h"

namespace kalix::sim {
namespace {

using namespace std::chrono_literals;
using protocol::Code;
using protocol::MessageHeader;
using Clock = std::chrono::steady_clock;

using namespace simtest;

std::int32_t reasonOf(const Message& m) {
    return m.payload.size() == 4 ? static_cast<std::int32_t>(protocol::be32(m.payload.data())) : -1000;
}

// Fields of one flat JSON object line: strings keep their text, numbers and
// booleans their spelling. Empty when the line is not such an object.
std::map<std::string, std::string> parseJsonLine(const std::string& line) {
    std::map<std::string, std::string> fields;
    if (line.size() < 2 || line.front() != '{' || line.back() != '}') return {};
    std::size_t i = 1;
    while (i < line.size() - 1) {
        if (line[i] != '"') return {};
        const std::size_t key_end = line.find('"', i + 1);
        if (key_end == std::string::npos || line[key_end + 1] != ':') return {};
        const std::string key = line.substr(i + 1, key_end - i - 1);
        i = key_end + 2;
        std::string value;
        if (line[i] == '"') {
            const std::size_t end = line.find('"', i + 1);
            if (end == std::string::npos) return {};
            value = line.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            const std::size_t end = line.find_first_of(",}", i);
            value = line.substr(i, end - i);
            if (value.empty()) return {};
            i = end;
        }
        fields[key] = value;
        if (line[i] == ',') ++i;
        else if (i != line.size() - 1) return {};
    }
    return fields;
}

// --- login ---

TEST(RecorderSimTest, LoginAnswerCarriesTheConfiguredIdentity) {
    SimConfig config;
    config.channel_num = 8;
    config.mac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    config.web_port = 8080;
    config.firmware = {{"main", 1700000000u}};
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.connected());

    const auto ack = client.login();
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->header.code(), static_cast<std::uint16_t>(Code::HELLO48_ACK));
    EXPECT_TRUE(ack->header.lastFragment());
    ASSERT_EQ(ack->payload.size(), 768u);
    EXPECT_EQ(ack->payload[2], 11);
    EXPECT_EQ(ack->payload[6], 8);
    EXPECT_EQ(std::vector<std::uint8_t>(ack->payload.begin() + 8, ack->payload.begin() + 14),
              (std::vector<std::uint8_t>{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}));
    EXPECT_EQ(protocol::le16(ack->payload.data() + 26), 8080);
    EXPECT_EQ(protocol::be32(ack->payload.data() + 688), 1700000000u);

    ASSERT_TRUE(sim->waitForCount(Code::HELLO, 1, kWait));
    const auto got = sim->received();
    EXPECT_EQ(got[0].name, "HELLO");
    EXPECT_EQ(got[0].connection, 1);
    EXPECT_EQ(got[0].payload.size(), 32u);
}

TEST(RecorderSimTest, RefusedLoginsGetByeWithTheirReasonThenAnOrderlyClose) {
    struct Case {
        const char* what;
        std::optional<std::int32_t> bye_reason;
        std::int32_t wrong_password_reason;
        const char* password;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"wrong password", std::nullopt, 2, "4321", 2},
        {"configured wrong-password reason", std::nullopt, 37, "4321", 37},
        {"forced farewell on a good login", -2, 2, "1234", -2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimConfig config;
        config.bye_reason = c.bye_reason;
        config.wrong_password_reason = c.wrong_password_reason;
        auto sim = startSim(config);
        RawClient client(sim->port());
        const auto sent = Clock::now();
        ASSERT_TRUE(client.sendHello("admin", c.password));
        const auto bye = client.read();
        ASSERT_TRUE(bye);
        EXPECT_EQ(bye->header.code(), static_cast<std::uint16_t>(Code::BYE48));
        EXPECT_EQ(reasonOf(*bye), c.expected);
        // The client gets time to read the reason before the close.
        EXPECT_TRUE(client.waitForClose(kWait));
        EXPECT_GE(Clock::now() - sent, 150ms);
        client.conn().close();
        EXPECT_TRUE(sim->waitForDisconnect(kWait));
    }
}

TEST(RecorderSimTest, ShortLoginAnswerOnRequest) {
    SimConfig config;
    config.hello_length_override = 767;
    auto sim = startSim(config);
    RawClient client(sim->port());
    const auto ack = client.login();
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->header.payloadLen(), 767);
    EXPECT_EQ(ack->payload[2], 11);
}

// --- live view ---

TEST(RecorderSimTest, LiveRequestIsAnsweredWithTheChannelsSent) {
    SimConfig config;
    config.channel_num = 4;
    config.live_mask = 0x000F000F;
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(client.sendLiveReq(0xFFFF));
    const auto info = client.read();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->header.code(), static_cast<std::uint16_t>(Code::LIVE_CHANNEL_INFO));
    ASSERT_EQ(info->payload.size(), 4u);
    EXPECT_EQ(protocol::be32(info->payload.data()), 0x000F000Fu);

    ASSERT_TRUE(client.send(Code::LIVE_STOP));
    const auto ack = client.read();
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->header.code(), static_cast<std::uint16_t>(Code::LIVE_STOP_ACK));
}

TEST(RecorderSimTest, LiveRequestsBeforeLoginOrWhenSwitchedOffGoUnanswered) {
    SimConfig config;
    config.answer_live_req = false;
    for (const bool answer : {true, false}) {
        config.answer_live_req = answer;
        auto sim = startSim(config);
        RawClient client(sim->port());
        ASSERT_TRUE(client.sendLiveReq(0xFFFF));  // before login: never answered
        const auto ack = client.login();
        ASSERT_TRUE(ack);
        EXPECT_EQ(ack->header.code(), static_cast<std::uint16_t>(Code::HELLO48_ACK));
        ASSERT_TRUE(client.sendLiveReq(0xFFFF));
        ASSERT_TRUE(client.send(Code::LIVE_STOP));
        const auto next = client.read();
        ASSERT_TRUE(next);
        EXPECT_EQ(next->header.code(),
                  static_cast<std::uint16_t>(answer ? Code::LIVE_CHANNEL_INFO : Code::LIVE_STOP_ACK));
    }
}

TEST(RecorderSimTest, CutRepliesCarryTheSameBytes) {
    std::vector<std::vector<std::uint8_t>> streams;
    for (const bool fragment : {false, true}) {
        SimConfig config;
        config.fragment_replies = fragment;
        auto sim = startSim(config);
        RawClient client(sim->port());
        ASSERT_TRUE(client.sendHello("admin", "1234"));
        ASSERT_TRUE(client.sendLiveReq(0x00FF));
        const std::size_t total = 2 * protocol::kHeaderSize + 768 + 4;
        std::vector<std::uint8_t> bytes(total);
        if (fragment) {
            // The first piece ends inside the header.
            pollfd fd{client.conn().fd(), POLLIN, 0};
            ASSERT_EQ(::poll(&fd, 1, 5000), 1);
            const auto n = ::recv(client.conn().fd(), bytes.data(), bytes.size(), 0);
            EXPECT_GT(n, 0);
            EXPECT_LT(n, static_cast<ssize_t>(protocol::kHeaderSize));
            ASSERT_TRUE(protocol::LoopReceive(client.conn(), std::span(bytes).subspan(static_cast<std::size_t>(n))));
        } else {
            ASSERT_TRUE(protocol::LoopReceive(client.conn(), bytes));
        }
        streams.push_back(bytes);
    }
    EXPECT_EQ(streams[0], streams[1]);
    EXPECT_EQ(protocol::be32(streams[1].data() + 16 + 768 + 16), 0x00FFu);
}

// --- what the recorder reads ---

TEST(RecorderSimTest, UnknownAndMalformedMessagesAreReadWholeAndRecorded) {
    const std::string traffic = tempPath("malformed.jsonl");
    SimConfig config;
    config.traffic_path = traffic;
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.login());

    MessageHeader unknown;
    unknown.setCode(300);
    unknown.setPayloadLen(10);
    const std::vector<std::uint8_t> ten(10, 0xAB);
    ASSERT_TRUE(protocol::SendPacket(client.conn(), unknown, ten));
    const std::vector<std::uint8_t> three(3, 0);
    ASSERT_TRUE(client.send(Code::LIVE_REQ, three));  // LIVE_REQ carries 4 bytes
    ASSERT_TRUE(client.send(Code::KEEP_ALIVE));
    ASSERT_TRUE(client.send(Code::LIVE_STOP));

    // The short LIVE_REQ got no answer: the next reply is the stop's.
    const auto next = client.read();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->header.code(), static_cast<std::uint16_t>(Code::LIVE_STOP_ACK));
    ASSERT_TRUE(sim->waitForCount(Code::LIVE_STOP, 1, kWait));
    EXPECT_EQ(sim->count(Code::KEEP_ALIVE), 1u);
    const auto got = sim->received();
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[1].name, "CODE_300");
    EXPECT_EQ(got[1].payload, ten);
    EXPECT_EQ(got[2].name, "LIVE_REQ");
    EXPECT_EQ(got[2].payload.size(), 3u);

    sim->stop();
    std::ifstream in(traffic);
    std::string line;
    int bad = 0;
    while (std::getline(in, line)) {
        const auto f = parseJsonLine(line);
        ASSERT_FALSE(f.empty()) << line;
        if (f.count("bad") != 0) {
            ++bad;
            EXPECT_EQ(f.at("name"), "LIVE_REQ");
            EXPECT_EQ(f.at("payload"), "000000");
        }
    }
    EXPECT_EQ(bad, 1);
    std::remove(traffic.c_str());
}

TEST(RecorderSimTest, TrafficLogHasOneParsableLinePerMessage) {
    const std::string traffic = tempPath("traffic.jsonl");
    SimConfig config;
    config.traffic_path = traffic;
    auto sim = startSim(config);
    {
        RawClient client(sim->port());
        ASSERT_TRUE(client.login());
        ASSERT_TRUE(client.send(Code::KEEP_ALIVE));
        ASSERT_TRUE(client.send(Code::BYE48));
        ASSERT_TRUE(sim->waitForCount(Code::BYE48, 1, kWait));
    }
    ASSERT_TRUE(sim->waitForDisconnect(kWait));
    sim->stop();

    std::ifstream in(traffic);
    std::vector<std::map<std::string, std::string>> lines;
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(parseJsonLine(line));
        ASSERT_FALSE(lines.back().empty()) << line;
    }
    std::vector<std::string> summary;
    for (const auto& f : lines) {
        summary.push_back(f.at("dir") + ":" + (f.count("name") ? f.at("name") : f.at("event")));
        EXPECT_EQ(f.at("conn"), "1");
        EXPECT_NO_THROW((void)std::stoll(f.at("t_ms")));
    }
    EXPECT_EQ(summary, (std::vector<std::string>{"event:accepted", "recv:HELLO", "send:HELLO48_ACK",
                                                 "recv:KEEP_ALIVE", "recv:BYE48", "event:closed"}));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[1].at("payload").substr(0, 10), "61646d696e");  // "admin"
    EXPECT_EQ(lines[1].at("payload").size(), 64u);
    EXPECT_EQ(lines[1].at("len"), "32");
    EXPECT_EQ(lines[2].at("len"), "768");
    EXPECT_EQ(lines[2].at("code"), "5");
    EXPECT_EQ(lines[3].at("word0"), "0x0000ff80");
    EXPECT_EQ(lines[3].at("last"), "false");
    EXPECT_EQ(lines[3].at("payload"), "");
    std::remove(traffic.c_str());
}

// --- faults after login ---

TEST(RecorderSimTest, UnknownMessageAndGarbageFollowTheLogin) {
    SimConfig config;
    config.unknown_after_login = std::pair<std::uint16_t, std::uint16_t>{300, 10};
    config.garbage_after_login = true;
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.login());
    const auto unknown = client.read();
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->header.code(), 300);
    EXPECT_EQ(unknown->payload, (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    std::vector<std::uint8_t> garbage(512);
    ASSERT_TRUE(protocol::LoopReceive(client.conn(), garbage));
    EXPECT_NE(std::count(garbage.begin(), garbage.end(), 0), 512);
}

TEST(RecorderSimTest, CloseAfterEndsTheConnectionAfterLogin) {
    SimConfig config;
    config.close_after = 300ms;
    auto sim = startSim(config);
    RawClient client(sim->port());
    const auto start = Clock::now();
    ASSERT_TRUE(client.login());
    EXPECT_TRUE(client.waitForClose(kWait));
    EXPECT_GE(Clock::now() - start, 250ms);
    client.conn().close();
    EXPECT_TRUE(sim->waitForDisconnect(kWait));
}

TEST(RecorderSimTest, OversizedLiveUnitThenASmallOne) {
    SimConfig config;
    config.oversized_unit_after_login = true;
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(client.sendLiveReq(0xFFFF));
    const auto info = client.read();
    ASSERT_TRUE(info);
    ASSERT_EQ(info->header.code(), static_cast<std::uint16_t>(Code::LIVE_CHANNEL_INFO));

    std::size_t unit = 0;
    for (;;) {
        const auto m = client.read();
        ASSERT_TRUE(m);
        ASSERT_EQ(m->header.code(), static_cast<std::uint16_t>(Code::LIVE_DATA));
        unit += m->payload.size();
        if (m->header.lastFragment()) break;
        ASSERT_EQ(m->payload.size(), 65535u);
    }
    EXPECT_GT(unit, 1'244'160u);

    const auto small = client.read();
    ASSERT_TRUE(small);
    EXPECT_EQ(small->header.code(), static_cast<std::uint16_t>(Code::LIVE_DATA));
    EXPECT_TRUE(small->header.lastFragment());
    ASSERT_EQ(small->payload.size(), 324u);
    EXPECT_NE(protocol::be32(small->payload.data() + 16), 0x2518F049u);  // not audio
    EXPECT_NE(small->header.frameTime(), 0u);
}

// --- driving from a test ---

TEST(RecorderSimTest, TestsCanSendAndCloseOnTheirOwn) {
    auto sim = startSim();
    RawClient a(sim->port());
    RawClient b(sim->port());
    ASSERT_TRUE(a.login());
    ASSERT_TRUE(b.login());
    EXPECT_EQ(sim->connectionCount(), 2u);

    const std::vector<std::uint8_t> status(16, 7);
    sim->sendToClients(Code::REC_STATUS, status, protocol::Fragment::More);
    const std::vector<std::uint8_t> raw{1, 2, 3};
    sim->sendRawToClients(raw);
    for (RawClient* c : {&a, &b}) {
        const auto m = c->read();
        ASSERT_TRUE(m);
        EXPECT_EQ(m->header.code(), static_cast<std::uint16_t>(Code::REC_STATUS));
        EXPECT_FALSE(m->header.lastFragment());
        EXPECT_EQ(m->payload, status);
        std::array<std::uint8_t, 3> got{};
        ASSERT_TRUE(protocol::LoopReceive(c->conn(), got));
        EXPECT_EQ(got, (std::array<std::uint8_t, 3>{1, 2, 3}));
    }

    sim->closeClients();
    EXPECT_TRUE(a.waitForClose(kWait));
    EXPECT_TRUE(b.waitForClose(kWait));
    EXPECT_FALSE(sim->waitForDisconnect(50ms));  // both clients still hold their side
    a.conn().close();
    b.conn().close();
    EXPECT_TRUE(sim->waitForDisconnect(kWait));
}

TEST(RecorderSimTest, StopEndsIdleConnectionsPromptly) {
    auto sim = startSim();
    RawClient client(sim->port());
    ASSERT_TRUE(client.login());
    const auto start = Clock::now();
    sim->stop();
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_TRUE(client.waitForClose(kWait));
    sim->stop();  // idempotent
}

TEST(RecorderSimTest, StartFailsOnATakenPortAndWhenRunTwice) {
    auto first = startSim();
    SimConfig config;
    config.port = first->port();
    RecorderSim second(config);
    EXPECT_FALSE(second.start());
    EXPECT_FALSE(first->start());

    SimConfig unwritable;
    unwritable.traffic_path = "/nonexistent-dir/traffic.jsonl";
    RecorderSim third(unwritable);
    EXPECT_FALSE(third.start());
}

}  // namespace
}  // namespace kalix::sim
