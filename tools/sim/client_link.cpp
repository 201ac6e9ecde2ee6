#include "sim/client_link.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "base/stop_wait.h"

namespace kalix::sim {
namespace {

using Clock = std::chrono::steady_clock;
using protocol::Fragment;
using protocol::MessageHeader;
using namespace std::chrono_literals;

// After we shut our sending side, the client has this long to close its own.
constexpr auto kCloseGrace = 2s;
// Between the pieces of a reply cut into several writes, long enough for the
// client to see each piece on its own.
constexpr auto kPiecePause = 20ms;

// Waits `delay` on the connection's cancel descriptor; true when the whole
// time passed without a cancel. The pieces of a cut reply wait here, under
// the send mutex and on whichever thread sends.
bool pauseOn(const protocol::Connection& conn, std::chrono::milliseconds delay) {
    const auto deadline = Clock::now() + delay;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return true;
        pollfd fd{conn.cancelFd(), POLLIN, 0};
        const int n = ::poll(&fd, 1, static_cast<int>(left.count()));
        if (n > 0) return false;
        if (n < 0 && errno != EINTR) return false;
    }
}

// Where a reply is cut when it goes out in pieces: inside the header, then
// twice inside the payload.
std::vector<std::size_t> pieceEnds(std::size_t total) {
    const std::size_t payload = total - protocol::kHeaderSize;
    std::vector<std::size_t> ends{5, protocol::kHeaderSize + payload / 3, protocol::kHeaderSize + 2 * payload / 3,
                                  total};
    std::sort(ends.begin(), ends.end());
    ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
    std::erase_if(ends, [&](std::size_t e) { return e == 0 || e > total; });
    return ends;
}

}  // namespace

ClientLink::ClientLink(int id, protocol::UniqueFd socket, const SimConfig& config, LinkLog& log)
    : id_(id), config_(config), log_(log), conn_(std::move(socket)) {}

ClientLink::~ClientLink() {
    conn_.cancel();
    joinHelpers();
}

bool ClientLink::sendMessage(std::uint16_t code, std::span<const std::uint8_t> payload, Fragment fragment,
                             Pieces pieces) {
    std::lock_guard lock(write_mutex_);
    return writeLocked(code, payload, fragment, pieces, 0, Logging::EachMessage);
}

bool ClientLink::sendUnit(protocol::Code code, std::span<const std::uint8_t> unit, std::uint32_t word3,
                          Logging logging, UnitMarks marks) {
    std::lock_guard lock(write_mutex_);
    std::size_t offset = 0;
    do {
        const std::size_t n = std::min<std::size_t>(unit.size() - offset, protocol::kMaxPayload);
        const bool last = offset + n == unit.size();
        if (!writeLocked(static_cast<std::uint16_t>(code), unit.subspan(offset, n), last ? Fragment::Last : Fragment::More,
                         Pieces::Whole, word3, logging, marks)) {
            return false;
        }
        offset += n;
    } while (offset < unit.size());
    return true;
}

bool ClientLink::sendRaw(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(write_mutex_);
    if (!protocol::SendBuffer(conn_, bytes)) return false;
    log_.sentRaw(id_, bytes.size());
    return true;
}

void ClientLink::closeOrderly() {
    if (closing_.exchange(true)) return;
    conn_.shutdownSend();
    log_.event(id_, "closing");
    spawn([this](std::stop_token stop) {
        if (base::waitFor(stop, kCloseGrace)) conn_.cancel();
    });
}

void ClientLink::spawn(std::function<void(std::stop_token)> job) {
    std::lock_guard lock(helpers_mutex_);
    if (!taking_helpers_) return;
    helpers_.emplace_back(std::move(job));
}

void ClientLink::joinHelpers() {
    // A helper may spawn another (a refusal's pause ends in closeOrderly).
    for (;;) {
        std::vector<std::jthread> helpers;
        {
            std::lock_guard lock(helpers_mutex_);
            taking_helpers_ = false;
            helpers.swap(helpers_);
        }
        if (helpers.empty()) break;
        helpers.clear();  // each requests stop and joins
    }
}

void ClientLink::announceLogin() {
    for (SimFeature* feature : listeners_) feature->onLogin();
}

void ClientLink::announceLiveView(const LiveViewChange& change) {
    for (SimFeature* feature : listeners_) feature->onLiveView(change);
}

bool ClientLink::writeLocked(std::uint16_t code, std::span<const std::uint8_t> payload, Fragment fragment,
                             Pieces pieces, std::uint32_t word3, Logging logging, UnitMarks marks) {
    if (payload.size() > protocol::kMaxPayload) return false;
    MessageHeader header;
    header.setCode(code);
    header.setPayloadLen(static_cast<std::uint16_t>(payload.size()));
    header.setLastFragment(fragment == Fragment::Last);
    header.setAudioOn(audio_on_.load());
    header.setPlaySpeed(marks.play_speed);
    header.setFrameChannel(marks.frame_channel);
    header.word3 = word3;
    bool sent = false;
    if (pieces == Pieces::Whole) {
        sent = protocol::SendPacket(conn_, header, payload);
    } else {
        std::vector<std::uint8_t> bytes(protocol::kHeaderSize + payload.size());
        const auto head = header.encode();
        std::copy(head.begin(), head.end(), bytes.begin());
        std::copy(payload.begin(), payload.end(), bytes.begin() + protocol::kHeaderSize);
        std::size_t begin = 0;
        sent = true;
        for (const std::size_t end : pieceEnds(bytes.size())) {
            if (begin != 0 && !pauseOn(conn_, kPiecePause)) {
                sent = false;
                break;
            }
            if (!protocol::SendBuffer(conn_, std::span(bytes).subspan(begin, end - begin))) {
                sent = false;
                break;
            }
            begin = end;
        }
    }
    if (sent && logging == Logging::EachMessage) log_.sent(id_, header);
    return sent;
}

}  // namespace kalix::sim
