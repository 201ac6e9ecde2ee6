#include "session/session_core.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <optional>

#include "base/stop_wait.h"
#include "protocol/trace.h"

namespace kalix::session {

using protocol::Code;
using protocol::Connection;
using protocol::Direction;
using protocol::MessageHeader;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kKeepAliveIdleSeconds = 3;
constexpr int kKeepAliveProbeSeconds = 2;
// One receive call takes up to this much of what has arrived.
constexpr std::size_t kReceiveChunk = 128 * 1024;

}  // namespace

SessionCore::SessionCore(const SessionOptions& options, EventSink& sink, OperationLogSink* log)
    : options_(options), sink_(sink), log_(log) {}

SessionCore::~SessionCore() {
    stopKeepAlive();
    stopReceiving();
}

std::shared_ptr<Connection> SessionCore::connection() const {
    std::lock_guard lock(connection_mutex_);
    return connection_;
}

void SessionCore::observeSends(
    std::function<void(const MessageHeader&, std::span<const std::uint8_t>)> observer) {
    std::lock_guard lock(connection_mutex_);
    send_observer_ = std::move(observer);
}

bool SessionCore::send(const MessageHeader& header, std::span<const std::uint8_t> payload) {
    std::shared_ptr<Connection> conn;
    {
        std::lock_guard lock(connection_mutex_);
        conn = connection_;
        if (send_observer_) send_observer_(header, payload);
    }
    return conn && protocol::SendPacket(*conn, header, payload);
}

bool SessionCore::send(Code code, std::span<const std::uint8_t> payload) {
    return send(MessageHeader::make(code, static_cast<std::uint16_t>(payload.size())), payload);
}

void SessionCore::writeConnectionRecord(ConnectionAction action) {
    if (log_ != nullptr)
        log_->write(LogCategory::Connection, static_cast<std::uint32_t>(action), options_.user,
                    options_.address);
}

// ---------------------------------------------------------------- connect

void SessionCore::connect(MessageHeader first, std::vector<std::uint8_t> payload) {
    if (connection_thread_.joinable()) return;
    connection_thread_ = std::jthread([this, first, payload = std::move(payload)](std::stop_token stop) mutable {
        connectionThread(stop, first, std::move(payload));
    });
}

void SessionCore::adopt(protocol::UniqueFd connected) {
    if (connection_thread_.joinable()) return;
    auto conn = std::make_shared<Connection>(std::move(connected));
    conn->setReceiveLimit(options_.receive_limit);
    {
        std::lock_guard lock(connection_mutex_);
        connection_ = conn;
    }
    rx_ = conn;
    receiving_ = true;
    connection_thread_ = std::jthread([this](std::stop_token stop) { receiveLoop(stop); });
}

void SessionCore::connectionThread(std::stop_token stop, MessageHeader first, std::vector<std::uint8_t> payload) {
    if (!connectSocket(stop)) return;
    receiving_ = true;
    send(first, payload);
    receiveLoop(stop);
}

bool SessionCore::connectSocket(std::stop_token stop) {
    auto fail = [this](int error, std::optional<NoticeKind> notice, std::uint16_t detail = 0) {
        if (notice) {
            // The session closes itself: nothing was sent, nothing runs.
            post(ControlState{ControlId::Connect, ButtonLook::Released});
            post(ConnectFailed{error, true});
            post(Notice::of(*notice, detail));
        } else {
            post(ConnectFailed{error, false});
        }
        writeConnectionRecord(ConnectionAction::EndedOrFailed);
        return false;
    };

    protocol::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return fail(errno, NoticeKind::SocketFailed);

    const int on = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_KEEPIDLE, &kKeepAliveIdleSeconds, sizeof(int));
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_KEEPINTVL, &kKeepAliveProbeSeconds, sizeof(int));

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(options_.port);
    if (::inet_pton(AF_INET, options_.address.c_str(), &to.sin_addr) != 1) return fail(EINVAL, std::nullopt);

    auto conn = std::make_shared<Connection>(std::move(fd));  // non-blocking from here
    conn->setReceiveLimit(options_.receive_limit);
    std::stop_callback wake(stop, [&conn] { conn->cancel(); });

    int error = 0;
    if (::connect(conn->fd(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            pollfd fds[2] = {{conn->fd(), POLLOUT, 0}, {conn->cancelFd(), POLLIN, 0}};
            int n;
            do {
                n = ::poll(fds, 2, static_cast<int>(options_.connect_limit.count()));
            } while (n < 0 && errno == EINTR);
            if (stop.stop_requested()) return false;  // the owner is closing
            if (n == 0) {
                error = ETIMEDOUT;
            } else {
                socklen_t len = sizeof error;
                ::getsockopt(conn->fd(), SOL_SOCKET, SO_ERROR, &error, &len);
            }
        }
    }
    if (error == ETIMEDOUT) return fail(error, NoticeKind::Connect, 0);
    if (error == ECONNREFUSED) return fail(error, NoticeKind::Connect, 1);
    if (error != 0) return fail(error, std::nullopt);
    {
        std::lock_guard lock(connection_mutex_);
        connection_ = conn;
    }
    rx_ = std::move(conn);
    return true;
}

// ---------------------------------------------------------------- receive

void SessionCore::receiveLoop(std::stop_token stop) {
    Connection& conn = *rx_;
    rx_stop_ = stop;
    std::stop_callback wake(stop, [&conn] { conn.cancel(); });
    receive_buffer_.resize(kReceiveChunk);
    reader_.reset();

    // A message that has begun must be complete within the receive limit:
    // its header from its first byte, its payload from the end of its header.
    auto phase = protocol::MessageReader::Phase::Boundary;
    Clock::time_point deadline{};

    while (!stop.stop_requested() && !end_requested_.load()) {
        int wait_ms = -1;
        if (phase != protocol::MessageReader::Phase::Boundary) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;  // the recorder stopped in the middle of a message
            wait_ms = static_cast<int>(left.count());
        }
        pollfd fds[2] = {{conn.fd(), POLLIN, 0}, {conn.cancelFd(), POLLIN, 0}};
        const int n = ::poll(fds, 2, wait_ms);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (n == 0) continue;  // the deadline is checked above
        if (fds[1].revents != 0) break;
        if ((fds[0].revents & (POLLERR | POLLNVAL)) != 0) break;

        const ssize_t got = ::recv(conn.fd(), receive_buffer_.data(), receive_buffer_.size(), MSG_DONTWAIT);
        if (got == 0) {
            // The recorder's orderly close. Between messages everything it
            // sent has been handled: give it a moment, then shut our side.
            if (reader_.phase() == protocol::MessageReader::Phase::Boundary) {
                base::waitFor(stop, options_.close_grace);
                conn.shutdownSend();
            }
            break;
        }
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            break;
        }

        const auto before = phase;
        const std::uint64_t messages_before = messages_;
        reader_.feed(std::span(receive_buffer_).first(static_cast<std::size_t>(got)), *this);
        phase = reader_.phase();
        if (phase != before || messages_ != messages_before) deadline = Clock::now() + options_.receive_limit;
    }

    conn.close();
    receiving_ = false;
    audio_flag_ = false;
    post(ControlState{ControlId::Audio, ButtonLook::Released});
    post(Notice::of(NoticeKind::ConnectionEnded));
}

void SessionCore::feed(std::span<const std::uint8_t> bytes) { reader_.feed(bytes, *this); }

void SessionCore::header(const MessageHeader& h) {
    ++messages_;
    peer_state_ = h.peerState();
    const bool audio = h.audioOn();
    if (audio_flag_.exchange(audio) != audio)
        post(ControlState{ControlId::Audio, audio ? ButtonLook::Pressed : ButtonLook::Released});
    if (!audio && options_.live_audio.channels != nullptr) options_.live_audio.channels->select(-1);
    protocol::trace("Recv...%s...\n", protocol::messageName(h.code(), Direction::ToClient).c_str());
}

bool SessionCore::message(const MessageHeader& h, std::span<const std::uint8_t> payload) {
    handlers_.dispatch(h, payload);
    return !rx_stop_.stop_requested() && !end_requested_.load();
}

// ---------------------------------------------------------------- keep-alive

void SessionCore::startKeepAlive() {
    std::lock_guard lock(keep_alive_mutex_);
    if (keep_alive_closed_ || keep_alive_thread_.joinable()) return;
    keep_alive_running_ = true;
    keep_alive_thread_ = std::jthread([this](std::stop_token stop) { keepAliveThread(stop); });
}

void SessionCore::stopKeepAlive() {
    std::jthread thread;
    {
        std::lock_guard lock(keep_alive_mutex_);
        keep_alive_closed_ = true;
        thread = std::move(keep_alive_thread_);
    }
    // jthread's destructor requests the stop and joins.
}

void SessionCore::keepAliveThread(std::stop_token stop) {
    while (!stop.stop_requested()) {
        send(Code::KEEP_ALIVE);
        base::waitFor(stop, options_.keep_alive_interval);
    }
    keep_alive_running_ = false;
}

// ---------------------------------------------------------------- close

void SessionCore::stopReceiving() {
    if (connection_thread_.joinable()) {
        connection_thread_.request_stop();
        connection_thread_.join();
    }
    if (const auto conn = connection()) {
        conn->shutdownSend();
        conn->close();
    }
}

}  // namespace kalix::session
