#include "sim/talk.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "protocol/byte_order.h"
#include "protocol/transport.h"
#include "media/audio/g726.h"
#include "raw_client.h"

namespace kalix::sim {
namespace {

using namespace std::chrono_literals;
using namespace simtest;
using protocol::Code;
using Clock = std::chrono::steady_clock;

constexpr auto code(Code c) { return static_cast<std::uint16_t>(c); }

std::vector<std::uint8_t> encodeTalk(media::G726Encoder& encoder, std::size_t chunk_index) {
    std::vector<std::int16_t> pcm(4096);
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        const auto t = static_cast<double>(chunk_index * pcm.size() + i);
        pcm[i] = static_cast<std::int16_t>(std::lround(6000 * std::sin(t / 7.0) + 2000 * std::sin(t / 2.3)));
    }
    std::vector<std::uint8_t> bytes(1536);
    EXPECT_TRUE(encoder.encode(pcm, bytes).ok());
    return bytes;
}

std::vector<std::int16_t> decodeAll(std::span<const std::uint8_t> bytes) {
    media::G726Decoder decoder;
    std::vector<std::int16_t> values(media::g726SampleCount(bytes.size()));
    EXPECT_TRUE(decoder.decode(bytes.first(bytes.size() / 3 * 3), values).ok());
    return values;
}

// Talk is kept as received and decoded as one stream per talk, however the
// chunks cut the code groups; data outside a talk is not kept.
TEST(TalkTest, TalkIsAcknowledgedStoredAndDecoded) {
    SimConfig config;
    config.talk_out_path = tempPath("talk.raw");
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.login());

    media::G726Encoder encoder;
    const auto stray = encodeTalk(encoder, 0);
    ASSERT_TRUE(client.send(Code::A_LISTEN_DATA, stray));

    ASSERT_TRUE(client.send(Code::A_LISTEN_REQ));
    const auto ack = client.read();
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->header.code(), code(Code::A_LISTEN_ACK));

    encoder.reset();
    const auto first = encodeTalk(encoder, 0);
    const auto second = encodeTalk(encoder, 1);
    std::vector<std::uint8_t> talk1 = first;
    talk1.insert(talk1.end(), second.begin(), second.end());
    const std::vector<std::vector<std::uint8_t>> chunks1{
        first, {second.begin(), second.begin() + 1000}, {second.begin() + 1000, second.end()}};
    for (const auto& chunk : chunks1) ASSERT_TRUE(client.send(Code::A_LISTEN_DATA, chunk));
    ASSERT_TRUE(client.send(Code::A_LISTEN_STOP_REQ));
    const auto stop_ack = client.read();
    ASSERT_TRUE(stop_ack);
    EXPECT_EQ(stop_ack->header.code(), code(Code::A_LISTEN_STOP_ACK));

    // A second talk starts a fresh decoder.
    ASSERT_TRUE(client.send(Code::A_LISTEN_REQ));
    ASSERT_TRUE(client.read());
    encoder.reset();
    const auto talk2 = encodeTalk(encoder, 5);
    ASSERT_TRUE(client.send(Code::A_LISTEN_DATA, talk2));
    ASSERT_TRUE(sim->waitForTalkChunks(4, kWait));

    auto expected_chunks = chunks1;
    expected_chunks.push_back(talk2);
    EXPECT_EQ(sim->talkChunks(), expected_chunks);
    auto expected_pcm = decodeAll(talk1);
    const auto pcm2 = decodeAll(talk2);
    expected_pcm.insert(expected_pcm.end(), pcm2.begin(), pcm2.end());
    ASSERT_EQ(expected_pcm.size(), 3u * 4096);
    EXPECT_EQ(sim->talkDecoded(), expected_pcm);
    sim->stop();

    std::ifstream raw(config.talk_out_path, std::ios::binary);
    const std::vector<std::uint8_t> raw_bytes{std::istreambuf_iterator<char>(raw), {}};
    std::vector<std::uint8_t> all_raw = talk1;
    all_raw.insert(all_raw.end(), talk2.begin(), talk2.end());
    EXPECT_EQ(raw_bytes, all_raw);
    std::ifstream pcm_file(config.talk_out_path + ".pcm", std::ios::binary);
    const std::vector<std::uint8_t> pcm_bytes{std::istreambuf_iterator<char>(pcm_file), {}};
    ASSERT_EQ(pcm_bytes.size(), expected_pcm.size() * 2);
    for (std::size_t i = 0; i < expected_pcm.size(); ++i) {
        const auto v = static_cast<std::int16_t>(pcm_bytes[2 * i] | pcm_bytes[2 * i + 1] << 8);
        ASSERT_EQ(v, expected_pcm[i]) << i;
    }
    std::remove(config.talk_out_path.c_str());
    std::remove((config.talk_out_path + ".pcm").c_str());
}

TEST(TalkTest, RefusedTalkGetsTheConfiguredReasonAndKeepsNothing) {
    SimConfig config;
    config.talk_nack_reason = 53;
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(client.send(Code::A_LISTEN_REQ));
    const auto nack = client.read();
    ASSERT_TRUE(nack);
    EXPECT_EQ(nack->header.code(), code(Code::A_LISTEN_NACK));
    ASSERT_EQ(nack->payload.size(), 4u);
    EXPECT_EQ(protocol::be32(nack->payload.data()), 53u);

    const std::vector<std::uint8_t> chunk(1536, 0x5A);
    ASSERT_TRUE(client.send(Code::A_LISTEN_DATA, chunk));
    ASSERT_TRUE(sim->waitForCount(Code::A_LISTEN_DATA, 1, kWait));
    EXPECT_TRUE(sim->talkChunks().empty());
    EXPECT_TRUE(sim->talkDecoded().empty());
}

}  // namespace
}  // namespace kalix::sim
