#pragma once
// A scripted recorder on the other end of a socket pair, and sinks that
// record what the session reports.

#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "protocol/byte_order.h"
#include "protocol/message_header.h"
#include "protocol/unique_fd.h"
#include "session/event_sink.h"
#include "session/operation_log_sink.h"
#include "session/queued_event_sink.h"

namespace kalix::session::testing {

using namespace std::chrono_literals;

struct PeerMessage {
    protocol::MessageHeader header;
    std::vector<std::uint8_t> payload;
};

// The recorder's end of a connection: writes whole messages, reads the
// client's.
class ScriptedPeer {
public:
    explicit ScriptedPeer(protocol::UniqueFd fd) : fd_(std::move(fd)) {}

    void send(protocol::Code code, const std::vector<std::uint8_t>& payload = {},
              protocol::Fragment fragment = protocol::Fragment::Last, bool audio_on = false) {
        auto h = protocol::MessageHeader::make(code, static_cast<std::uint16_t>(payload.size()), fragment);
        h.setAudioOn(audio_on);
        sendRaw(h, payload);
    }
    void sendRaw(const protocol::MessageHeader& h, const std::vector<std::uint8_t>& payload) {
        const auto head = h.encode();
        writeAll(head.data(), head.size());
        writeAll(payload.data(), payload.size());
    }
    void writeAll(const std::uint8_t* p, std::size_t n) {
        while (n > 0) {
            const ssize_t w = ::send(fd_.get(), p, n, MSG_NOSIGNAL);
            if (w <= 0) return;
            p += w;
            n -= static_cast<std::size_t>(w);
        }
    }
    // The next message from the client, or nothing within `timeout`.
    std::optional<PeerMessage> read(std::chrono::milliseconds timeout = 3000ms) {
        std::uint8_t head[16];
        if (!readExactly(head, 16, timeout)) return std::nullopt;
        PeerMessage m{protocol::MessageHeader::decode(head), {}};
        m.payload.resize(m.header.payloadLen());
        if (!readExactly(m.payload.data(), m.payload.size(), timeout)) return std::nullopt;
        return m;
    }
    // Reads until a message with `code` arrives.
    std::optional<PeerMessage> readUntil(protocol::Code code, std::chrono::milliseconds timeout = 3000ms) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            auto m = read(std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()));
            if (!m) return std::nullopt;
            if (m->header.code() == static_cast<std::uint16_t>(code)) return m;
        }
        return std::nullopt;
    }
    void close() { fd_.reset(); }
    int fd() const { return fd_.get(); }

private:
    bool readExactly(std::uint8_t* p, std::size_t n, std::chrono::milliseconds timeout) {
        timeval tv{static_cast<time_t>(timeout.count() / 1000),
                   static_cast<suseconds_t>((timeout.count() % 1000) * 1000)};
        ::setsockopt(fd_.get(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        while (n > 0) {
            const ssize_t r = ::recv(fd_.get(), p, n, 0);
            if (r <= 0) return false;
            p += r;
            n -= static_cast<std::size_t>(r);
        }
        return true;
    }
    protocol::UniqueFd fd_;
};

inline std::pair<protocol::UniqueFd, ScriptedPeer> socketPair() {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    return {protocol::UniqueFd(fds[0]), ScriptedPeer(protocol::UniqueFd(fds[1]))};
}

// A login answer with the fields the tests care about.
inline std::vector<std::uint8_t> helloAnswer(std::uint8_t product, std::uint8_t channels,
                                             std::size_t size = 768, std::uint8_t feature = 0x08) {
    std::vector<std::uint8_t> p(size, 0);
    if (size > 16) {
        p[0] = 1;
        p[2] = product;
        p[3] = 1;
        p[6] = channels;
        const std::uint8_t mac[6] = {0x00, 0x1c, 0x2d, 0x3e, 0x4f, 0xa0};
        std::copy(mac, mac + 6, p.begin() + 8);
        p[16] = feature;
    }
    if (size >= 768) {
        p[26] = 0x90;  // web port 8080, low byte first
        p[27] = 0x1F;
        const char name[] = "kernel";
        std::copy(name, name + 6, p.begin() + 48);
        protocol::putBe32(p.data() + 688, 1'600'000'000u);
    }
    return p;
}

// A whole message as the recorder writes it: header, then payload.
inline std::vector<std::uint8_t> messageBytes(const protocol::MessageHeader& h, const std::vector<std::uint8_t>& payload) {
    const auto head = h.encode();
    std::vector<std::uint8_t> out(head.size() + payload.size());
    std::copy_n(head.data(), head.size(), out.data());
    if (!payload.empty()) std::memcpy(out.data() + head.size(), payload.data(), payload.size());
    return out;
}

inline std::vector<std::uint8_t> message(protocol::Code code, const std::vector<std::uint8_t>& payload,
                                         protocol::Fragment fragment = protocol::Fragment::Last) {
    return messageBytes(protocol::MessageHeader::make(code, static_cast<std::uint16_t>(payload.size()), fragment),
                        payload);
}

inline std::vector<std::uint8_t> word(std::uint32_t v) {
    std::vector<std::uint8_t> p(4);
    protocol::putBe32(p.data(), v);
    return p;
}

// A live video unit: 260 bytes, the 64-byte picture header, the picture.
inline std::vector<std::uint8_t> liveUnit(const std::vector<std::uint8_t>& picture, int channel, bool key, int w, int h) {
    std::vector<std::uint8_t> unit(324 + picture.size(), 0);
    std::uint8_t* e = unit.data() + 260;
    const auto len = static_cast<std::uint32_t>(picture.size());
    protocol::putLe16(e, static_cast<std::uint16_t>(len & 0xFFFF));
    e[2] = static_cast<std::uint8_t>(((len >> 16) & 0x0F) | (key ? 0 : (1 << 6)));
    e[4] = static_cast<std::uint8_t>(h / 16);
    e[5] = static_cast<std::uint8_t>(w / 16);
    e[36] = static_cast<std::uint8_t>(channel);
    std::copy(picture.begin(), picture.end(), unit.begin() + 324);
    return unit;
}

// A live audio unit: the 64-byte audio header, then one 48-byte block per
// channel in `mask` (block b filled with 0x10 + b).
inline std::vector<std::uint8_t> audioUnit(std::uint32_t mask, int blocks) {
    std::vector<std::uint8_t> unit(64 + 48 * static_cast<std::size_t>(blocks), 0);
    protocol::putBe32(unit.data() + 16, 0x2518F049);
    protocol::putBe32(unit.data() + 40, mask);
    for (int b = 0; b < blocks; ++b)
        std::fill_n(unit.begin() + 64 + 48 * b, 48, static_cast<std::uint8_t>(0x10 + b));
    return unit;
}

// Collects events; waits for the ones a test expects.
class RecordingSink final : public EventSink {
public:
    void post(Event event) override {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(event);
        }
        changed_.notify_all();
    }
    std::vector<Event> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    template <typename T>
    std::vector<T> all() const {
        std::vector<T> out;
        for (const auto& e : events())
            if (const auto* t = std::get_if<T>(&e)) out.push_back(*t);
        return out;
    }
    // Waits until `pred(events)` holds.
    template <typename Pred>
    bool waitFor(Pred pred, std::chrono::milliseconds timeout = 3000ms) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return pred(events_); });
    }
    template <typename T>
    bool waitForCount(std::size_t n, std::chrono::milliseconds timeout = 3000ms) const {
        return waitFor(
            [n](const std::vector<Event>& es) {
                std::size_t c = 0;
                for (const auto& e : es) c += std::holds_alternative<T>(e) ? 1u : 0u;
                return c >= n;
            },
            timeout);
    }
    bool waitForNotice(std::uint32_t lparam, std::chrono::milliseconds timeout = 3000ms) const {
        return waitFor(
            [lparam](const std::vector<Event>& es) {
                for (const auto& e : es)
                    if (const auto* n = std::get_if<Notice>(&e); n && n->lParam() == lparam) return true;
                return false;
            },
            timeout);
    }
    std::size_t noticeCount(std::uint32_t lparam) const {
        std::size_t c = 0;
        for (const auto& n : all<Notice>()) c += n.lParam() == lparam ? 1u : 0u;
        return c;
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Event> events_;
};

struct LogEntry {
    LogCategory category;
    std::uint32_t action;
    std::string short_text;
    std::string text;
};

class RecordingLog final : public OperationLogSink {
public:
    void write(LogCategory category, std::uint32_t action, std::string_view short_text,
               std::string_view text) override {
        std::lock_guard lock(mutex_);
        entries_.push_back({category, action, std::string(short_text), std::string(text)});
    }
    std::vector<LogEntry> entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    std::vector<std::uint32_t> actions() const {
        std::vector<std::uint32_t> out;
        for (const auto& e : entries()) out.push_back(e.action);
        return out;
    }

private:
    mutable std::mutex mutex_;
    std::vector<LogEntry> entries_;
};

}  // namespace kalix::session::testing
