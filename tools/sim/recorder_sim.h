#pragma once
// A recorder on 127.0.0.1 that speaks the recorder's side of the protocol:
// login, keep-alive, live view with video and audio, talk, and a set of
// faults for tests.
//
// One thread accepts; each client connection gets a reader thread that reads
// whole messages and answers them through a table of per-code handlers, which
// the recorder's features (feature_list.cpp) register.
// Everything received is kept, in order, for tests to inspect and wait on,
// and written to the traffic log when one is configured.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "protocol/message_catalogue.h"
#include "protocol/message_header.h"
#include "sim/ptz.h"
#include "sim/firmware_upgrade.h"
#include "sim/sim_config.h"

namespace kalix::sim {

struct ReceivedMessage {
    std::chrono::milliseconds at{};  // since start()
    int connection = 0;              // 1 for the first accepted connection
    std::uint16_t code = 0;
    std::string name;  // the catalogue's name, "CODE_<n>" when unknown
    protocol::MessageHeader header;
    std::vector<std::uint8_t> payload;
};

class RecorderSim {
public:
    explicit RecorderSim(SimConfig config);
    ~RecorderSim();  // stops and joins everything
    RecorderSim(const RecorderSim&) = delete;
    RecorderSim& operator=(const RecorderSim&) = delete;

    // Binds and listens on 127.0.0.1:port and starts accepting. False when
    // the socket cannot be set up, the traffic log cannot be created, or the
    // simulator already ran.
    bool start();
    std::uint16_t port() const;  // the bound port once started, else 0
    // Closes every connection and joins every thread. Idempotent.
    void stop();

    std::vector<ReceivedMessage> received() const;
    std::size_t count(protocol::Code code) const;

    // Wait on a condition variable until pred(received messages) holds or
    // the time is up; return pred's last value. pred runs under the
    // simulator's lock and must not call back into it.
    bool waitUntil(const std::function<bool(const std::vector<ReceivedMessage>&)>& pred,
                   std::chrono::milliseconds timeout) const;
    bool waitForCount(protocol::Code code, std::size_t n, std::chrono::milliseconds timeout) const;
    // Until every accepted connection is closed, by the peer or by us.
    bool waitForDisconnect(std::chrono::milliseconds timeout) const;
    std::size_t connectionCount() const;  // accepted so far

    // Talk audio: the payload of every A_LISTEN_DATA received during an
    // accepted talk, in order, and its decoding (one decoder per talk, kept
    // across its chunks).
    std::vector<std::vector<std::uint8_t>> talkChunks() const;
    std::vector<std::int16_t> talkDecoded() const;
    bool waitForTalkChunks(std::size_t n, std::chrono::milliseconds timeout) const;

    // PTZ: every PTZ_MOVE_REQ and PTZ_MOVE_STOP received, with its channel.
    std::vector<PtzRecord> ptzRecords() const;
    bool waitForPtzRecords(std::size_t n, std::chrono::milliseconds timeout) const;
    // Every firmware upload that reached its verdict, and the stamps the
    // modules run now.
    std::vector<FirmwareStore::Upgrade> firmwareUpgrades() const;
    std::vector<std::pair<std::string, std::uint32_t>> firmwareModules() const;

    // Sends one message to every open client connection. A payload above
    // 65,535 bytes cannot be framed and is not sent.
    void sendToClients(protocol::Code code, std::span<const std::uint8_t> payload,
                       protocol::Fragment fragment = protocol::Fragment::Last);
    void sendRawToClients(std::span<const std::uint8_t> bytes);
    // Orderly close: our sending side is shut at once; the connection ends
    // when the client closes too (or two seconds later).
    void closeClients();

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kalix::sim
