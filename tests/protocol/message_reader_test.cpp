#include "protocol/message_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalix::protocol {
namespace {

// Writes down what the reader hands on, in order.
struct Transcript final : MessageConsumer {
    void header(const MessageHeader& h) override { lines.push_back("h" + std::to_string(h.code())); }
    bool message(const MessageHeader& h, std::span<const std::uint8_t> payload) override {
        std::string line = "m" + std::to_string(h.code()) + ":";
        for (auto b : payload) line += std::to_string(b) + ",";
        lines.push_back(line);
        return stop_after == 0 || --stop_after > 0;
    }
    std::vector<std::string> lines;
    int stop_after = 0;
};

std::vector<std::uint8_t> message(std::uint16_t code, std::vector<std::uint8_t> payload) {
    auto h = MessageHeader::make(static_cast<Code>(code), static_cast<std::uint16_t>(payload.size()));
    const auto head = h.encode();
    std::vector<std::uint8_t> out(head.begin(), head.end());
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

std::vector<std::uint8_t> stream() {
    std::vector<std::uint8_t> s;
    for (auto part : {message(17, {1, 2, 3, 4}), message(300, {}), message(18, std::vector<std::uint8_t>(40, 7)),
                      message(4, {0, 0, 0, 1})})
        s.insert(s.end(), part.begin(), part.end());
    return s;
}

TEST(MessageReader, EverySplitOfTheStreamGivesTheSameMessages) {
    const auto bytes = stream();
    Transcript whole;
    MessageReader reader;
    EXPECT_EQ(reader.feed(bytes, whole), bytes.size());
    ASSERT_EQ(whole.lines.size(), 8u);
    EXPECT_EQ(whole.lines[3], "m300:");
    EXPECT_EQ(reader.phase(), MessageReader::Phase::Boundary);

    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        Transcript t;
        MessageReader r;
        r.feed(std::span(bytes).first(cut), t);
        r.feed(std::span(bytes).subspan(cut), t);
        EXPECT_EQ(t.lines, whole.lines) << "cut at " << cut;
    }
    Transcript bytewise;
    MessageReader r;
    for (auto b : bytes) r.feed(std::span(&b, 1), bytewise);
    EXPECT_EQ(bytewise.lines, whole.lines);
}

TEST(MessageReader, PhaseTellsWhereInAMessageTheStreamStopped) {
    const auto bytes = message(18, {1, 2, 3});
    Transcript t;
    MessageReader r;
    r.feed(std::span(bytes).first(5), t);
    EXPECT_EQ(r.phase(), MessageReader::Phase::Header);
    r.feed(std::span(bytes).subspan(5, 12), t);
    EXPECT_EQ(r.phase(), MessageReader::Phase::Payload);
    EXPECT_EQ(t.lines, std::vector<std::string>{"h18"});
    r.reset();
    EXPECT_EQ(r.phase(), MessageReader::Phase::Boundary);
}

TEST(MessageReader, LargestPayloadFitsAndAStopLeavesTheRestUnread) {
    auto big = message(18, std::vector<std::uint8_t>(kMaxPayload, 5));
    const auto small = message(19, {9});
    big.insert(big.end(), small.begin(), small.end());
    Transcript t;
    t.stop_after = 1;
    MessageReader r;
    // In two pieces, so the big payload goes through the reader's own buffer.
    EXPECT_EQ(r.feed(std::span(big).first(100), t), 100u);
    EXPECT_EQ(r.feed(std::span(big).subspan(100), t), kHeaderSize + kMaxPayload - 100);
    ASSERT_EQ(t.lines.size(), 2u);
    EXPECT_EQ(r.phase(), MessageReader::Phase::Boundary);
}

}  // namespace
}  // namespace kalix::protocol
