#pragma once
// A bare client for the simulator's tests: a socket and the protocol's
// transport routines, nothing of the real session.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/byte_order.h"
#include "protocol/transport.h"
#include "sim/recorder_sim.h"

namespace kalix::sim::simtest {

using namespace std::chrono_literals;

inline constexpr auto kWait = 5s;

struct Message {
    protocol::MessageHeader header;
    std::vector<std::uint8_t> payload;
};

class RawClient {
public:
    explicit RawClient(std::uint16_t port) {
        protocol::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
        conn_ = std::make_unique<protocol::Connection>(std::move(fd));
        conn_->setReceiveLimit(kWait);
    }

    bool connected() const { return connected_; }
    protocol::Connection& conn() { return *conn_; }

    bool send(protocol::Code code, std::span<const std::uint8_t> payload = {}) {
        return protocol::SendPacket(*conn_, protocol::MessageHeader::make(code, static_cast<std::uint16_t>(payload.size())),
                                    payload);
    }

    bool sendHello(std::string_view user, std::string_view password) {
        std::array<std::uint8_t, 32> p{};
        std::memcpy(p.data(), user.data(), user.size());
        std::memcpy(p.data() + 16, password.data(), password.size());
        return send(protocol::Code::HELLO, p);
    }

    bool sendLiveReq(std::uint32_t mask) {
        std::array<std::uint8_t, 4> p{};
        protocol::putBe32(p.data(), mask);
        return send(protocol::Code::LIVE_REQ, p);
    }

    std::optional<Message> read() {
        std::array<std::uint8_t, protocol::kHeaderSize> head{};
        if (!protocol::LoopReceive(*conn_, head)) return std::nullopt;
        Message m{protocol::MessageHeader::decode(head.data()), {}};
        m.payload.resize(m.header.payloadLen());
        if (!protocol::LoopReceive(*conn_, m.payload)) return std::nullopt;
        return m;
    }

    // Logs in as admin:1234 and returns the login answer.
    std::optional<Message> login() {
        if (!sendHello("admin", "1234")) return std::nullopt;
        return read();
    }

    // True when the simulator ends the connection within `limit`.
    bool waitForClose(std::chrono::milliseconds limit) {
        pollfd fd{conn_->fd(), POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(limit.count())) <= 0) return false;
        std::uint8_t byte = 0;
        return ::recv(conn_->fd(), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
    }

private:
    bool connected_ = false;
    std::unique_ptr<protocol::Connection> conn_;
};

// The recorder's unasked announcements after the login are left out: these
// tests read the wire message by message.
inline std::unique_ptr<RecorderSim> startSim(SimConfig config = {}) {
    config.admin.announce = false;
    auto sim = std::make_unique<RecorderSim>(std::move(config));
    EXPECT_TRUE(sim->start());
    EXPECT_NE(sim->port(), 0);
    return sim;
}

inline std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "kalix_sim_" + std::to_string(::getpid()) + "_" + name;
}


}  // namespace kalix::sim::simtest
