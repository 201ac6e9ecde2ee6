#include "protocol/transport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <vector>

#include "protocol/byte_order.h"
#include "protocol/trace.h"

namespace kalix::protocol {
namespace {

using Clock = std::chrono::steady_clock;

enum class Wait : std::uint8_t { Ready, Cancelled, TimedOut, Failed };

// Waits until the socket is ready for `events`, the connection is cancelled
// or the deadline passes.
Wait waitFor(const Connection& conn, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - Clock::now());
        if (left.count() <= 0) return Wait::TimedOut;
        pollfd fds[2] = {{conn.fd(), events, 0}, {conn.cancelFd(), POLLIN, 0}};
        const int timeout_ms = left.count() > 60'000 ? 60'000 : static_cast<int>(left.count()) + 1;
        const int n = ::poll(fds, 2, timeout_ms);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Wait::Failed;
        }
        if (fds[1].revents != 0) return Wait::Cancelled;
        if (fds[0].revents != 0) return Wait::Ready;
    }
}

}  // namespace

Connection::Connection(UniqueFd socket)
    : socket_(std::move(socket)), cancel_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    const int flags = ::fcntl(socket_.get(), F_GETFL, 0);
    if (flags >= 0) ::fcntl(socket_.get(), F_SETFL, flags | O_NONBLOCK);
}

Connection::~Connection() = default;

void Connection::cancel() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(cancel_.get(), &one, sizeof one);
}

bool Connection::cancelled() const {
    pollfd fd{cancel_.get(), POLLIN, 0};
    return ::poll(&fd, 1, 0) > 0;
}

void Connection::shutdownSend() { ::shutdown(socket_.get(), SHUT_WR); }

void Connection::close() {
    if (!closed_.exchange(true)) ::shutdown(socket_.get(), SHUT_RDWR);
}

bool SendPacket(Connection& conn, const MessageHeader& header,
                std::span<const std::uint8_t> payload) {
    // One buffer, one copy: the message leaves in one piece.
    const auto head = header.encode();
    std::vector<std::uint8_t> message;
    message.reserve(kHeaderSize + payload.size());
    message.insert(message.end(), head.begin(), head.end());
    message.insert(message.end(), payload.begin(), payload.end());
    trace("Send... %s\n", messageName(header.code(), Direction::ToRecorder).c_str());
    return SendBuffer(conn, message);
}

bool SendBuffer(Connection& conn, std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(conn.send_mutex_);
    if (!conn.isOpen()) return false;
    const auto deadline = Clock::now() + kSendLimit;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(conn.fd(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitFor(conn, POLLOUT, deadline) == Wait::Ready) continue;
        }
        return false;
    }
    return true;
}

bool LoopReceive(Connection& conn, std::span<std::uint8_t> out) {
    const auto deadline = Clock::now() + conn.receiveLimit();
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t n = ::recv(conn.fd(), out.data() + got, out.size() - got, MSG_DONTWAIT);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        // An orderly close can never deliver the rest: fail now rather than
        // spin until the limit.
        if (n == 0) return false;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
        if (waitFor(conn, POLLIN, deadline) != Wait::Ready) return false;
    }
    return true;
}

std::int32_t ReplyCode(std::span<const std::uint8_t> payload, std::array<std::uint8_t, 8>* extra) {
    if (payload.empty()) return kReplyEmpty;
    std::array<std::uint8_t, 4> word{};
    std::memcpy(word.data(), payload.data(), std::min<std::size_t>(payload.size(), 4));
    if (payload.size() == 12 && extra != nullptr) std::memcpy(extra->data(), payload.data() + 4, 8);
    return static_cast<std::int32_t>(be32(word.data()));
}

}  // namespace kalix::protocol
