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
