#pragma once
// The transport routines every part of the client uses to move whole
// messages over the recorder connection.
//
// Senders may be any thread: a mutex serialises them and every send runs to
// completion, so whole messages from different threads never interleave.
// Receiving is done by one thread at a time (the session's receive thread).
// cancel() wakes a receiver or sender that waits on the socket and makes it
// fail, so a stopping session never waits for the 180-second limit.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>

#include "protocol/message_header.h"
#include "protocol/unique_fd.h"

namespace kalix::protocol {

inline constexpr std::chrono::seconds kReceiveLimit{180};
inline constexpr std::chrono::seconds kSendLimit{30};

class Connection {
public:
    // Takes ownership of a connected stream socket and makes it non-blocking.
    explicit Connection(UniqueFd socket);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int fd() const { return socket_.get(); }

    // Shuts both directions down and marks the connection closed; the
    // descriptor itself is released only when the object goes, so a sender
    // on another thread can never hit a reused descriptor.
    void close();
    bool isOpen() const { return !closed_.load(); }

    // Wakes every wait on this connection; later waits fail at once.
    void cancel();
    bool cancelled() const;
    int cancelFd() const { return cancel_.get(); }

    // Shuts down the sending side (the recorder then sees an orderly close).
    void shutdownSend();

    // Test hook: the whole-call limit of LoopReceive.
    void setReceiveLimit(std::chrono::milliseconds limit) { receive_limit_ = limit; }
    std::chrono::milliseconds receiveLimit() const { return receive_limit_; }

private:
    friend bool SendBuffer(Connection&, std::span<const std::uint8_t>);

    UniqueFd socket_;
    UniqueFd cancel_;  // eventfd, readable once cancel() ran
    std::atomic<bool> closed_{false};
    std::mutex send_mutex_;
    std::chrono::milliseconds receive_limit_ = kReceiveLimit;
};

// Builds the 16-byte header (host-order words converted to network order)
// followed by the payload, and sends it as one message. The payload's fields
// are already in network order.
bool SendPacket(Connection& conn, const MessageHeader& header,
                std::span<const std::uint8_t> payload = {});

// Sends every byte of a prepared buffer, continuing partial sends. False on
// a socket error, a cancelled connection or when the peer takes nothing for
// kSendLimit; whatever is lost is lost silently for the caller.
bool SendBuffer(Connection& conn, std::span<const std::uint8_t> bytes);

// Reads exactly out.size() bytes. False on a socket error, an orderly close
// by the peer, cancellation, or when the whole call exceeds the receive limit
// (180 s). A partly filled buffer is the caller's to drop.
bool LoopReceive(Connection& conn, std::span<std::uint8_t> out);

inline constexpr std::int32_t kReplyEmpty = -100;

// A refusal's reason: the payload's first word as a signed big-endian value
// (missing bytes count as zero); kReplyEmpty for an empty payload. With a
// 12-byte payload and `extra`, bytes 4-11 are copied there unchanged.
std::int32_t ReplyCode(std::span<const std::uint8_t> payload,
                       std::array<std::uint8_t, 8>* extra = nullptr);

}  // namespace kalix::protocol
