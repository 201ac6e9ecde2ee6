#pragma once
// PTZ control: the recorder relays our commands to the camera of one
// channel. The channel (and the panel's form) is chosen with
// PTZ_CHANNEL_REQ; the recorder's PTZ_CHANNEL_ACK says whether that channel
// has a PTZ camera. Every command is a PTZ_MOVE_REQ with a 4-byte payload:
// byte 0 the command, byte 1 the number's low byte, byte 2 zero, byte 3 the
// number's high byte; PTZ_MOVE_STOP ends a movement.
//
// Commands go out only once the recorder has said the channel has PTZ: a
// command for a channel it has not confirmed would steer nothing or the
// wrong camera.

#include <atomic>
#include <array>
#include <cstdint>
#include <span>

#include "protocol/message_header.h"
#include "session/session_core.h"

namespace kalix::session {

enum class PtzForm : std::uint8_t { Pan = 0, Zoom = 1 };

enum class PtzCommand : std::uint8_t {
    Right = 0,
    Left = 1,
    Up = 2,
    Down = 3,
    ZoomUp = 4,
    ZoomDown = 5,
    ZoomRight = 6,
    ZoomLeft = 7,
    PresetSet = 8,
    PresetGo = 9,
    LearnStart = 10,
    LearnStop = 11,
    PatternRun = 12,
    DomeOpen = 13,
    DomeEnter = 14,
    DomeEscape = 15,
    DomeClose = 16,
    TourRun = 17,
};

enum class PtzArrow : std::uint8_t { Up = 0, Down = 1, Left = 2, Right = 3 };

// The command an arrow sends in a form.
PtzCommand arrowCommand(PtzArrow arrow, PtzForm form);

// 0 = not yet asked, 1 = the channel has no PTZ, 2 = it has.
enum class PtzState : std::uint8_t { NotAsked = 0, NoPtz = 1, HasPtz = 2 };

std::array<std::uint8_t, 4> ptzChannelPayload(int channel, PtzForm form);
std::array<std::uint8_t, 4> ptzMovePayload(PtzCommand command, unsigned number = 0);

class Ptz {
public:
    explicit Ptz(SessionCore& core);

    // PTZ_CHANNEL_REQ for `channel` (0-15) in `form`; the state goes back to
    // "not asked" until the recorder answers. False for a channel out of
    // range. (The results say what was allowed, not whether a connection
    // took the bytes: a lost connection ends the session anyway.)
    bool requestChannel(int channel, PtzForm form);
    // A PTZ_MOVE_REQ; refused (nothing sent) unless the channel has PTZ.
    // A learn start makes the learn pending; a learn stop clears it.
    bool move(PtzCommand command, unsigned number = 0);
    // PTZ_MOVE_STOP, under the same rule.
    bool stopMove();
    // Ends everything PTZ: a pending learn is stopped first (command 11 with
    // its number), then channel and state return to 0. Before LIVE_STOP and
    // on every reset of the panels.
    void reset();

    int channel() const { return channel_.load(); }
    PtzState state() const { return state_.load(); }
    bool learnPending() const { return learn_pending_.load(); }
    unsigned learnNumber() const { return learn_number_.load(); }

    // Handler, fed by the dispatch table.
    void onChannelAck(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);

private:
    SessionCore& core_;
    std::atomic<int> channel_{0};
    std::atomic<PtzState> state_{PtzState::NotAsked};
    std::atomic<bool> learn_pending_{false};
    std::atomic<unsigned> learn_number_{0};
};

}  // namespace kalix::session
