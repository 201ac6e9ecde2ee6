#pragma once
// A bare client for the recordings tests: requests as the client writes
// them, and PLAY_DATA gathered into whole units.

#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "protocol/byte_order.h"
#include "raw_client.h"
#include "sim/recording_schedule.h"

namespace kalix::sim::simtest {

// 2024-05-10 00:00 as recorder time.
inline constexpr RecorderSeconds kTestDay = 1'715'299'200;

// What came: a whole message, or for PLAY_DATA the gathered unit with the
// header of its last fragment and how many fragments it took.
struct Received {
    protocol::MessageHeader header;
    std::vector<std::uint8_t> payload;
    std::size_t fragments = 1;

    std::uint16_t code() const { return header.code(); }
    bool is(protocol::Code c) const { return code() == static_cast<std::uint16_t>(c); }
    bool isVideo() const { return is(protocol::Code::PLAY_DATA) && payload.size() >= 192 && !isAudio(); }
    bool isAudio() const {
        return is(protocol::Code::PLAY_DATA) && payload.size() >= 64 &&
               (protocol::be32(payload.data() + 16) == 0x2518F049 || protocol::le32(payload.data() + 16) == 0x2518F049);
    }
    std::uint32_t frameSeconds() const { return protocol::be32(payload.data() + 24); }
    std::uint64_t frameMicros() const {
        return std::uint64_t{protocol::le32(payload.data() + 128 + 20)} * 1'000'000 + protocol::le32(payload.data() + 128 + 24);
    }
    std::uint8_t channel() const { return payload[128 + 36] & 0x0F; }
    bool key() const { return (payload[128 + 2] >> 6) == 0; }
    bool decodeOnly() const { return payload[52] == 1; }
};

class RecordingsClient {
public:
    explicit RecordingsClient(std::uint16_t port) : raw_(port) {}

    RawClient& raw() { return raw_; }

    bool login() {
        const auto ack = raw_.login();
        return ack && ack->header.code() == static_cast<std::uint16_t>(protocol::Code::HELLO48_ACK);
    }

    bool send(protocol::Code code, std::span<const std::uint8_t> payload = {}) { return raw_.send(code, payload); }
    bool sendWord(protocol::Code code, std::uint32_t word) {
        std::array<std::uint8_t, 4> p{};
        protocol::putBe32(p.data(), word);
        return send(code, p);
    }
    // PLAY_ON_REQ, or the resume payload of PLAY_FORWARD / PLAY_BACKWARD.
    static std::array<std::uint8_t, 24> startPayload(std::uint32_t mask, RecorderSeconds time, std::uint8_t kind = 0) {
        std::array<std::uint8_t, 24> p{};
        protocol::putBe32(p.data(), mask);
        p[4] = kind;
        protocol::putBe32(p.data() + 16, time);
        return p;
    }
    bool startPlayback(std::uint32_t mask, RecorderSeconds time) {
        return send(protocol::Code::PLAY_ON_REQ, startPayload(mask, time));
    }
    bool sendDayReq(std::uint32_t year, std::uint8_t month, std::uint8_t day) {
        std::array<std::uint8_t, 8> p{};
        protocol::putBe32(p.data(), year);
        p[4] = month;
        p[5] = day;
        return send(protocol::Code::PLAY_INFO_DAY_REQ, p);
    }
    bool sendEventReq(std::uint32_t kind, std::uint32_t page) {
        std::array<std::uint8_t, 8> p{};
        protocol::putBe32(p.data(), kind);
        protocol::putBe32(p.data() + 4, page);
        return send(protocol::Code::EVENT_INFO_REQ, p);
    }

    // The next message or unit; nothing when none came in `limit`.
    std::optional<Received> next(std::chrono::milliseconds limit = kWait) {
        Received unit;
        unit.fragments = 0;
        for (;;) {
            pollfd fd{raw_.conn().fd(), POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(limit.count())) <= 0) return std::nullopt;
            auto m = raw_.read();
            if (!m) return std::nullopt;
            if (m->header.code() != static_cast<std::uint16_t>(protocol::Code::PLAY_DATA)) {
                return Received{m->header, std::move(m->payload), 1};
            }
            unit.payload.insert(unit.payload.end(), m->payload.begin(), m->payload.end());
            ++unit.fragments;
            if (m->header.lastFragment()) {
                unit.header = m->header;
                return unit;
            }
        }
    }

    // Messages up to and including the first with `code`; the last one is
    // not that code when it never came.
    std::vector<Received> until(protocol::Code code, std::chrono::milliseconds limit = kWait) {
        std::vector<Received> all;
        while (auto m = next(limit)) {
            all.push_back(std::move(*m));
            if (all.back().is(code)) break;
        }
        return all;
    }

    // A search answer: the payloads of its fragments up to the last.
    std::vector<Received> answer() {
        std::vector<Received> parts;
        while (auto m = next()) {
            parts.push_back(std::move(*m));
            if (parts.back().header.lastFragment()) break;
        }
        return parts;
    }

private:
    RawClient raw_;
};

inline std::vector<Received> videoOf(const std::vector<Received>& all) {
    std::vector<Received> out;
    for (const Received& r : all)
        if (r.isVideo()) out.push_back(r);
    return out;
}

}  // namespace kalix::sim::simtest
