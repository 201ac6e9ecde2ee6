#include "sim/recorder_sim.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <stop_token>
#include <thread>

#include "protocol/transport.h"
#include "protocol/unique_fd.h"
#include "sim/client_link.h"
#include "sim/feature_list.h"
#include "sim/live_video.h"
#include "sim/sim_feature.h"
#include "sim/traffic_log.h"

namespace kalix::sim {
namespace {

using Clock = std::chrono::steady_clock;
using protocol::Direction;
using protocol::MessageHeader;

// Waits until the client has sent something (or closed); false once the
// connection is cancelled. No time limit: a logged-out client may idle.
bool waitReadable(const protocol::Connection& conn) {
    for (;;) {
        pollfd fds[2] = {{conn.fd(), POLLIN, 0}, {conn.cancelFd(), POLLIN, 0}};
        const int n = ::poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (fds[1].revents != 0) return false;
        if (fds[0].revents != 0) return true;
    }
}

}  // namespace

class RecorderSim::Impl final : public LinkLog {
public:
    class Connection;

    explicit Impl(SimConfig config) : config_(std::move(config)) {}
    ~Impl() override { stop(); }

    bool start();
    void stop();

    const SimConfig& config() const { return config_; }
    std::chrono::milliseconds now() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_);
    }

    // Called by the connections' threads.
    void record(ReceivedMessage message, bool bad);
    void sent(int connection, const MessageHeader& header) override;
    void sentRaw(int connection, std::size_t length) override;
    void logEvent(int connection, const std::string& text) override;
    void event(int connection, const std::string& text) override;
    void connectionClosed(int connection);

    std::vector<std::shared_ptr<Connection>> connections() const;

    // -- guarded by state_mutex_ --
    mutable std::mutex state_mutex_;
    mutable std::condition_variable state_cv_;
    std::vector<ReceivedMessage> received_;
    std::size_t accepted_ = 0;
    std::size_t open_connections_ = 0;

    SharedState shared_;
    std::atomic<std::uint16_t> port_{0};

private:
    void acceptLoop(std::stop_token stop);
    void reapFinished();

    const SimConfig config_;
    TrafficLog traffic_;
    Clock::time_point started_ = Clock::now();
    bool ran_ = false;  // start() and stop() come from the owner's thread
    protocol::UniqueFd listen_;
    protocol::UniqueFd wake_;  // eventfd that ends the accept wait
    std::mutex event_mutex_;   // keeps event lines whole on standard error

    // Never held together with state_mutex_.
    mutable std::mutex connections_mutex_;
    // -- guarded by connections_mutex_ --
    std::vector<std::shared_ptr<Connection>> connections_;

    std::jthread acceptor_;  // last: joined before anything it uses goes
};

// One client connection: its link, its instance of every feature, their
// handler table, and the reader thread that reads whole messages, records
// them and dispatches them by code.
class RecorderSim::Impl::Connection {
public:
    Connection(RecorderSim::Impl& sim, int id, protocol::UniqueFd socket)
        : sim_(sim), link_(id, std::move(socket), sim.config(), sim),
          features_(makeFeatures(link_, sim.shared_)) {
        for (const auto& feature : features_) {
            feature->registerHandlers(table_);
            link_.addListener(*feature);
        }
        for (const std::uint16_t code : table_.conflicts()) {
            sim_.event(id, "two features handle code " + std::to_string(code) + "; the first one answers");
        }
    }

    // Closing steps, in order: no more reading, the features' streamers
    // stop, the helpers (which may use the features) end, the features go.
    ~Connection() {
        link_.cancel();
        reader_ = {};  // requests stop and joins
        for (const auto& feature : features_) feature->onDisconnect();
        link_.joinHelpers();
        features_.clear();
    }

    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void start() {
        reader_ = std::jthread([this](std::stop_token stop) { readLoop(stop); });
    }

    ClientLink& link() { return link_; }
    bool finished() const { return finished_.load(); }

private:
    void readLoop(std::stop_token stop) {
        protocol::Connection& conn = link_.connection();
        std::stop_callback wake(stop, [&conn] { conn.cancel(); });
        while (!stop.stop_requested() && waitReadable(conn)) {
            std::array<std::uint8_t, protocol::kHeaderSize> head{};
            if (!protocol::LoopReceive(conn, head)) break;
            const MessageHeader header = MessageHeader::decode(head.data());
            // payloadLen() is 16 bits wide: never more than 65,535 bytes here.
            std::vector<std::uint8_t> payload(header.payloadLen());
            if (!protocol::LoopReceive(conn, payload)) break;

            const std::uint16_t code = header.code();
            const protocol::MessageSpec* spec = protocol::findMessage(code, Direction::ToRecorder);
            const bool bad = spec != nullptr && !spec->acceptsLength(header.payloadLen());
            ReceivedMessage message{sim_.now(), link_.id(), code, protocol::messageName(code, Direction::ToRecorder),
                                    header, std::move(payload)};
            sim_.record(message, bad);
            dispatch(message, bad);
        }
        conn.close();
        finished_.store(true);
        sim_.connectionClosed(link_.id());
    }

    // A code no feature handles is read, recorded and otherwise ignored;
    // KEEP_ALIVE needs nothing more.
    void dispatch(const ReceivedMessage& message, bool bad) {
        const HandlerTable::Entry* entry = table_.find(message.code);
        if (entry == nullptr) return;
        if (bad) {
            link_.event(message.name + " with " + std::to_string(message.payload.size()) + " payload bytes ignored");
            return;
        }
        if (entry->login == LoginRule::Needed && !link_.loggedIn()) {
            link_.event(message.name + " before login ignored");
            return;
        }
        entry->handler(message.header, message.payload);
    }

    RecorderSim::Impl& sim_;
    ClientLink link_;
    std::vector<std::unique_ptr<SimFeature>> features_;
    HandlerTable table_;
    std::atomic<bool> finished_{false};
    std::jthread reader_;  // last: joined before the members it uses go
};

// --- RecorderSim::Impl ---

bool RecorderSim::Impl::start() {
    if (ran_) return false;
    ran_ = true;
    started_ = Clock::now();
    if (!traffic_.open(config_.traffic_path)) {
        event(0, "cannot create the traffic log " + config_.traffic_path);
        return false;
    }
    shared_.recordings = recordingsFor(config_, FrameTime::now().seconds);
    shared_.firmware.reset(config_.firmware);
    if (!shared_.talk.open(config_.talk_out_path)) {
        event(0, "cannot create the talk files " + config_.talk_out_path + "[.pcm]");
        return false;
    }

    protocol::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    wake_ = protocol::UniqueFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!fd.valid() || !wake_.valid()) return false;
    const int one = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(config_.port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd.get(), SOMAXCONN) != 0) {
        event(0, "cannot listen on port " + std::to_string(config_.port));
        return false;
    }
    socklen_t len = sizeof addr;
    if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return false;
    port_.store(ntohs(addr.sin_port));
    listen_ = std::move(fd);
    acceptor_ = std::jthread([this](std::stop_token stop) { acceptLoop(stop); });
    return true;
}

void RecorderSim::Impl::stop() {
    acceptor_ = {};  // requests stop and joins
    std::vector<std::shared_ptr<Connection>> connections;
    {
        std::lock_guard lock(connections_mutex_);
        connections.swap(connections_);
    }
    for (const auto& connection : connections) connection->link().cancel();
    connections.clear();  // each joins its threads
    listen_.reset();
}

void RecorderSim::Impl::acceptLoop(std::stop_token stop) {
    std::stop_callback wake(stop, [this] {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(wake_.get(), &one, sizeof one);
    });
    while (!stop.stop_requested()) {
        pollfd fds[2] = {{listen_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
        const int n = ::poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents != 0) break;
        if ((fds[0].revents & POLLIN) == 0) continue;
        protocol::UniqueFd socket(::accept4(listen_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!socket.valid()) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED) continue;
            event(0, "accept failed, no more connections");
            break;
        }
        // Each reply leaves at once: the cut replies rely on it.
        const int one = 1;
        ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

        reapFinished();
        int id = 0;
        {
            std::lock_guard lock(state_mutex_);
            id = static_cast<int>(++accepted_);
            ++open_connections_;
        }
        auto connection = std::make_shared<Connection>(*this, id, std::move(socket));
        {
            std::lock_guard lock(connections_mutex_);
            connections_.push_back(connection);
        }
        traffic_.write(formatEventLine(now(), id, "accepted"));
        event(id, "accepted");
        connection->start();
        state_cv_.notify_all();
    }
}

// Connections whose client has gone are released here, so a long run does
// not collect descriptors and finished threads.
void RecorderSim::Impl::reapFinished() {
    std::vector<std::shared_ptr<Connection>> done;
    {
        std::lock_guard lock(connections_mutex_);
        for (auto& connection : connections_) {
            if (connection->finished()) done.push_back(std::move(connection));
        }
        std::erase(connections_, nullptr);
    }
    // `done` joins the finished connections' threads here, outside the lock.
}

auto RecorderSim::Impl::connections() const -> std::vector<std::shared_ptr<Connection>> {
    std::lock_guard lock(connections_mutex_);
    return connections_;
}

void RecorderSim::Impl::record(ReceivedMessage message, bool bad) {
    if (traffic_.enabled()) {
        TrafficRecord r{message.at, message.connection, TrafficDirection::Received, message.header,
                        message.name, message.payload, bad};
        traffic_.write(formatMessageLine(r));
    }
    {
        std::lock_guard lock(state_mutex_);
        received_.push_back(std::move(message));
    }
    state_cv_.notify_all();
}

void RecorderSim::Impl::sent(int connection, const MessageHeader& header) {
    if (!traffic_.enabled()) return;
    const std::string name = protocol::messageName(header.code(), Direction::ToClient);
    traffic_.write(formatMessageLine({now(), connection, TrafficDirection::Sent, header, name, {}, false}));
}

void RecorderSim::Impl::sentRaw(int connection, std::size_t len) {
    traffic_.write(formatRawLine(now(), connection, len));
}

void RecorderSim::Impl::logEvent(int connection, const std::string& text) {
    traffic_.write(formatEventLine(now(), connection, text));
    event(connection, text);
}

void RecorderSim::Impl::event(int connection, const std::string& text) {
    if (!config_.log_events) return;
    std::lock_guard lock(event_mutex_);
    if (connection > 0) {
        std::fprintf(stderr, "[sim] conn %d: %s\n", connection, text.c_str());
    } else {
        std::fprintf(stderr, "[sim] %s\n", text.c_str());
    }
}

void RecorderSim::Impl::connectionClosed(int connection) {
    traffic_.write(formatEventLine(now(), connection, "closed"));
    event(connection, "closed");
    {
        std::lock_guard lock(state_mutex_);
        --open_connections_;
    }
    state_cv_.notify_all();
}

// --- RecorderSim ---

RecorderSim::RecorderSim(SimConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {}

RecorderSim::~RecorderSim() = default;

bool RecorderSim::start() { return impl_->start(); }

std::uint16_t RecorderSim::port() const { return impl_->port_.load(); }

void RecorderSim::stop() { impl_->stop(); }

std::vector<ReceivedMessage> RecorderSim::received() const {
    std::lock_guard lock(impl_->state_mutex_);
    return impl_->received_;
}

std::size_t RecorderSim::count(protocol::Code code) const {
    std::lock_guard lock(impl_->state_mutex_);
    return static_cast<std::size_t>(
        std::count_if(impl_->received_.begin(), impl_->received_.end(), [&](const ReceivedMessage& m) {
            return m.code == static_cast<std::uint16_t>(code);
        }));
}

bool RecorderSim::waitUntil(const std::function<bool(const std::vector<ReceivedMessage>&)>& pred,
                            std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->state_mutex_);
    return impl_->state_cv_.wait_for(lock, timeout, [&] { return pred(impl_->received_); });
}

bool RecorderSim::waitForCount(protocol::Code code, std::size_t n, std::chrono::milliseconds timeout) const {
    return waitUntil(
        [&](const std::vector<ReceivedMessage>& all) {
            return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), [&](const ReceivedMessage& m) {
                       return m.code == static_cast<std::uint16_t>(code);
                   })) >= n;
        },
        timeout);
}

bool RecorderSim::waitForDisconnect(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->state_mutex_);
    return impl_->state_cv_.wait_for(lock, timeout, [&] { return impl_->open_connections_ == 0; });
}

std::size_t RecorderSim::connectionCount() const {
    std::lock_guard lock(impl_->state_mutex_);
    return impl_->accepted_;
}

std::vector<std::vector<std::uint8_t>> RecorderSim::talkChunks() const { return impl_->shared_.talk.chunks(); }
std::vector<FirmwareStore::Upgrade> RecorderSim::firmwareUpgrades() const { return impl_->shared_.firmware.upgrades(); }
std::vector<std::pair<std::string, std::uint32_t>> RecorderSim::firmwareModules() const {
    return impl_->shared_.firmware.modules();
}

std::vector<std::int16_t> RecorderSim::talkDecoded() const { return impl_->shared_.talk.decoded(); }

bool RecorderSim::waitForTalkChunks(std::size_t n, std::chrono::milliseconds timeout) const {
    return impl_->shared_.talk.waitForChunks(n, timeout);
}

std::vector<PtzRecord> RecorderSim::ptzRecords() const { return impl_->shared_.ptz.records(); }

bool RecorderSim::waitForPtzRecords(std::size_t n, std::chrono::milliseconds timeout) const {
    return impl_->shared_.ptz.waitForCount(n, timeout);
}

void RecorderSim::sendToClients(protocol::Code code, std::span<const std::uint8_t> payload,
                                protocol::Fragment fragment) {
    if (payload.size() > protocol::kMaxPayload) {
        impl_->event(0, "a payload of " + std::to_string(payload.size()) + " bytes cannot be sent");
        return;
    }
    for (const auto& connection : impl_->connections()) {
        if (!connection->finished()) connection->link().sendMessage(static_cast<std::uint16_t>(code), payload, fragment);
    }
}

void RecorderSim::sendRawToClients(std::span<const std::uint8_t> bytes) {
    for (const auto& connection : impl_->connections()) {
        if (!connection->finished()) connection->link().sendRaw(bytes);
    }
}

void RecorderSim::closeClients() {
    for (const auto& connection : impl_->connections()) {
        if (!connection->finished()) connection->link().closeOrderly();
    }
}

}  // namespace kalix::sim
