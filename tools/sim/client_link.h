#pragma once
// One client connection as the recorder's features see it: whole messages,
// media units in fragments and raw bytes going out, the orderly close, the
// helper threads that run delayed or long sends, and the connection state
// every feature may read (login, the audio switch mirrored in our headers).
//
// Any thread may send: whole messages and units go out one at a time under
// the link's send mutex, so a unit's fragments are never cut by another
// message. The core's reader thread reads from connection().

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "protocol/message_catalogue.h"
#include "protocol/message_header.h"
#include "protocol/transport.h"
#include "protocol/unique_fd.h"
#include "sim/sim_config.h"
#include "sim/sim_feature.h"

namespace kalix::sim {

// A reply in one write, or cut inside the header and twice inside the payload.
enum class Pieces : std::uint8_t { Whole, Split };
// Streamed media would drown the traffic log: its units are counted instead.
enum class Logging : std::uint8_t { EachMessage, Quiet };

// What a playback unit carries in every fragment's header: the speed index
// and the unit's channel.
struct UnitMarks {
    std::uint8_t play_speed = 0;
    std::uint8_t frame_channel = 0;
};

// Where a link reports what it sent and what happened: the simulator's
// traffic log and its event lines. Any thread.
class LinkLog {
public:
    virtual ~LinkLog() = default;
    virtual void sent(int connection, const protocol::MessageHeader& header) = 0;
    virtual void sentRaw(int connection, std::size_t length) = 0;
    // Standard error only (when events are on).
    virtual void event(int connection, const std::string& text) = 0;
    // The traffic log and standard error.
    virtual void logEvent(int connection, const std::string& text) = 0;
};

class ClientLink {
public:
    ClientLink(int id, protocol::UniqueFd socket, const SimConfig& config, LinkLog& log);
    ~ClientLink();  // cancels the connection and joins the helpers
    ClientLink(const ClientLink&) = delete;
    ClientLink& operator=(const ClientLink&) = delete;

    int id() const { return id_; }
    const SimConfig& config() const { return config_; }
    protocol::Connection& connection() { return conn_; }

    // One whole message. False when the payload cannot be framed (above
    // 65,535 bytes) or the connection failed.
    bool sendMessage(std::uint16_t code, std::span<const std::uint8_t> payload, protocol::Fragment fragment,
                     Pieces pieces = Pieces::Whole);
    bool sendMessage(protocol::Code code, std::span<const std::uint8_t> payload = {}, Pieces pieces = Pieces::Whole) {
        return sendMessage(static_cast<std::uint16_t>(code), payload, protocol::Fragment::Last, pieces);
    }
    // One media unit in fragments of at most 65,535 bytes, none of another
    // message between them; `word3` goes into every fragment's header.
    bool sendUnit(protocol::Code code, std::span<const std::uint8_t> unit, std::uint32_t word3,
                  Logging logging = Logging::EachMessage, UnitMarks marks = {});
    bool sendRaw(std::span<const std::uint8_t> bytes);
    // How the replies that may go out cut (HELLO48_ACK, LIVE_CHANNEL_INFO) go.
    Pieces replyPieces() const { return config_.fragment_replies ? Pieces::Split : Pieces::Whole; }

    // Shuts our sending side: the client sees an orderly close. Should it
    // not close its side in time, the connection is dropped.
    void closeOrderly();
    // Wakes every wait on the connection; later sends and reads fail at once.
    void cancel() { conn_.cancel(); }

    // Runs `job` on a helper thread of this link; its stop token is
    // requested when the link goes. Nothing runs once the helpers are joined.
    void spawn(std::function<void(std::stop_token)> job);
    // Joins every helper, including those spawned meanwhile. Idempotent.
    void joinHelpers();

    bool loggedIn() const { return logged_in_.load(); }
    // True when the client had logged in already.
    bool markLoggedIn() { return logged_in_.exchange(true); }
    bool audioOn() const { return audio_on_.load(); }
    void setAudioOn(bool on) { audio_on_.store(on); }

    void event(const std::string& text) { log_.event(id_, text); }
    void logEvent(const std::string& text) { log_.logEvent(id_, text); }

    // News between the features of this connection. Listeners are added
    // before the reader starts; news comes from the reader thread only.
    void addListener(SimFeature& feature) { listeners_.push_back(&feature); }
    void announceLogin();
    void announceLiveView(const LiveViewChange& change);

private:
    bool writeLocked(std::uint16_t code, std::span<const std::uint8_t> payload, protocol::Fragment fragment,
                     Pieces pieces, std::uint32_t word3, Logging logging, UnitMarks marks = {});

    const int id_;
    const SimConfig& config_;
    LinkLog& log_;
    protocol::Connection conn_;

    std::atomic<bool> logged_in_{false};
    std::atomic<bool> closing_{false};
    // Mirrored in the header of every message we send.
    std::atomic<bool> audio_on_{false};

    std::vector<SimFeature*> listeners_;  // not owned: the core keeps the features

    std::mutex write_mutex_;  // whole messages and units go out one at a time

    std::mutex helpers_mutex_;
    // -- guarded by helpers_mutex_ --
    std::vector<std::jthread> helpers_;
    bool taking_helpers_ = true;
};

}  // namespace kalix::sim
