#pragma once
// How a recorder feature plugs into the simulator's core. The core reads
// whole client messages, records them and hands each one to the handler that
// a feature registered for its code; a new feature is a new file plus one
// line in the feature list (feature_list.cpp), never a change to the
// dispatch.
//
// Every connection gets its own instance of each feature, made before its
// reader starts. Handlers and the news hooks run on that connection's reader
// thread, one at a time, so a feature's members need no lock unless it hands
// them to a thread of its own (a streamer, a helper from ClientLink::spawn).
// A handler never sleeps: a delayed or long send goes to a helper.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "protocol/message_catalogue.h"
#include "protocol/message_header.h"

namespace kalix::sim {

// Whether the core hands a client message on before the client logged in.
enum class LoginRule : std::uint8_t { NotNeeded, Needed };

// The client's messages by code, each to the handler of one feature.
class HandlerTable {
public:
    using Handler = std::function<void(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload)>;
    struct Entry {
        std::uint16_t code = 0;
        LoginRule login = LoginRule::Needed;
        Handler handler;
    };

    // A code that has a handler already keeps it; the newcomer is listed in
    // conflicts() for the core to report.
    void add(protocol::Code code, LoginRule login, Handler handler);
    // Nothing for a code that no feature handles.
    const Entry* find(std::uint16_t code) const;
    const std::vector<std::uint16_t>& conflicts() const { return conflicts_; }

private:
    std::vector<Entry> entries_;
    std::vector<std::uint16_t> conflicts_;
};

// What live view last told the client, for the features that follow it.
struct LiveViewChange {
    enum class Kind : std::uint8_t { Answered, Stopped };
    Kind kind = Kind::Stopped;
    // The low 16 bits of the LIVE_CHANNEL_INFO answer (video loss included);
    // 0 once stopped.
    std::uint16_t channels = 0;
};

class SimFeature {
public:
    virtual ~SimFeature() = default;

    // Adds the handlers of the client messages this feature answers.
    virtual void registerHandlers(HandlerTable& table) = 0;

    // News from the other features of the connection, in feature-list order.
    // The first accepted login: its answer has gone out.
    virtual void onLogin() {}
    // LIVE_REQ was answered (after the answer went out), or LIVE_STOP came
    // (before its acknowledgement goes out).
    virtual void onLiveView(const LiveViewChange&) {}

    // The connection is cancelled and its reader has ended: stop every
    // thread of the feature that sends on it. Helpers from ClientLink::spawn
    // are joined after this and before the feature goes.
    virtual void onDisconnect() {}
};

// "0x00ff": how event lines show a channel mask.
std::string hexMask(std::uint16_t mask);

}  // namespace kalix::sim
