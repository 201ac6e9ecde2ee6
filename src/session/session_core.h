#pragma once
// The session's core: the connection, the receive loop that cuts the
// recorder's stream into messages and dispatches them, the keep-alive,
// sending, and the connection's part of the close. Everything a message
// means is left to the features that registered its code.
//
// Threads:
//   connection thread  connects, sends the first message, then is the only
//                      reader of the socket: the receive loop and, through
//                      the dispatch table, every handler
//   keep-alive thread  sends KEEP_ALIVE every interval while logged in
//   owner's thread     connect(), the close steps and the features' requests
//
// feed() drives the same path as the receive loop from bytes in memory, for
// tests and fuzzing; it must not be used while a connection thread runs.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <stop_token>
#include <thread>
#include <vector>

#include "protocol/message_header.h"
#include "protocol/message_reader.h"
#include "protocol/transport.h"
#include "session/dispatch_table.h"
#include "session/event_sink.h"
#include "session/operation_log_sink.h"
#include "session/session_options.h"

namespace kalix::session {

class SessionCore final : private protocol::MessageConsumer {
public:
    SessionCore(const SessionOptions& options, EventSink& sink, OperationLogSink* log);
    ~SessionCore() override;  // stops the threads; the owner runs the close steps first
    SessionCore(const SessionCore&) = delete;
    SessionCore& operator=(const SessionCore&) = delete;

    DispatchTable& handlers() { return handlers_; }

    // Starts the connection thread: connect, send `first`, receive loop.
    void connect(protocol::MessageHeader first, std::vector<std::uint8_t> payload);
    // Runs the receive loop on an already connected socket.
    void adopt(protocol::UniqueFd connected);
    // Hands bytes from the recorder to the receive path without a socket.
    void feed(std::span<const std::uint8_t> bytes);

    bool send(protocol::Code code, std::span<const std::uint8_t> payload = {});
    bool send(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload = {});
    std::shared_ptr<protocol::Connection> connection() const;
    // Every message the session sends, whether or not a connection takes it.
    void observeSends(std::function<void(const protocol::MessageHeader&, std::span<const std::uint8_t>)> observer);

    void post(Event event) { sink_.post(std::move(event)); }
    EventSink& sink() { return sink_; }
    void writeConnectionRecord(ConnectionAction action);

    void startKeepAlive();
    // No keep-alive starts after this.
    void stopKeepAlive();
    // Ends the receive loop and joins the connection thread, then shuts the
    // connection down.
    void stopReceiving();

    // Ends the receive loop from a handler (a rights message that no longer
    // lists the user): the message being handled is the last.
    void requestEnd() { end_requested_ = true; }
    bool endRequested() const { return end_requested_.load(); }

    bool receiving() const { return receiving_.load(); }
    bool audioFlag() const { return audio_flag_.load(); }
    bool keepAliveRunning() const { return keep_alive_running_.load(); }
    std::uint8_t lastPeerState() const { return peer_state_.load(); }
    bool started() const { return connection_thread_.joinable(); }

private:
    void connectionThread(std::stop_token stop, protocol::MessageHeader first, std::vector<std::uint8_t> payload);
    bool connectSocket(std::stop_token stop);
    void receiveLoop(std::stop_token stop);
    void keepAliveThread(std::stop_token stop);

    // MessageConsumer
    void header(const protocol::MessageHeader& header) override;
    bool message(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload) override;

    const SessionOptions& options_;
    EventSink& sink_;
    OperationLogSink* const log_;
    DispatchTable handlers_;

    // -- guarded by connection_mutex_ --
    mutable std::mutex connection_mutex_;
    std::shared_ptr<protocol::Connection> connection_;
    std::function<void(const protocol::MessageHeader&, std::span<const std::uint8_t>)> send_observer_;

    // -- owner's thread only (started in connect/adopt, joined in stopReceiving) --
    std::jthread connection_thread_;

    // -- guarded by keep_alive_mutex_ --
    std::mutex keep_alive_mutex_;
    std::jthread keep_alive_thread_;
    bool keep_alive_closed_ = false;

    // -- connection thread only (or feed()'s caller) --
    protocol::MessageReader reader_;
    std::vector<std::uint8_t> receive_buffer_;
    std::shared_ptr<protocol::Connection> rx_;
    std::stop_token rx_stop_;
    std::uint64_t messages_ = 0;  // headers read so far

    // -- flags shared between threads --
    std::atomic<bool> receiving_{false};
    std::atomic<bool> audio_flag_{false};
    std::atomic<bool> keep_alive_running_{false};
    std::atomic<std::uint8_t> peer_state_{0};
    std::atomic<bool> end_requested_{false};
};

}  // namespace kalix::session
