#pragma once
// Which feature handles which message from the recorder.
//
// Features register the codes they act on; the table applies the message
// catalogue's payload rules once for all of them, gathers fragmented
// messages in the buffer a feature named, and hands each complete message
// on as a header and a byte span. No handler sees the socket.
//
// A code nobody registered goes to the fallback of its payload rule (the
// refusals raise their notices there) or is dropped; so is a code the
// catalogue does not know, and a message whose payload breaks its rule.

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <unordered_map>

#include "protocol/message_catalogue.h"
#include "protocol/message_header.h"
#include "session/reassembly_buffer.h"

namespace kalix::session {

using Handler = std::function<void(const protocol::MessageHeader&, std::span<const std::uint8_t> payload)>;

// How a registered handler takes its messages.
enum class Delivery : std::uint8_t {
    // As the catalogue allows: a payload that breaks the code's rule is dropped.
    Checked = 1,
    // Whatever the length; the handler judges it. Only for a message whose
    // wrong length means something (the login answer).
    AnyLength,
};

class DispatchTable {
public:
    // One handler per code; a second registration of the same code replaces
    // the first.
    void on(protocol::Code code, Handler handler, Delivery delivery = Delivery::Checked);
    // The fragments of `code` are gathered in `buffer` (which may serve more
    // than one code); the handler gets the whole unit with the header of its
    // last fragment. A unit too large for the buffer is dropped whole.
    void onUnit(protocol::Code code, ReassemblyBuffer& buffer, Handler handler);
    // For every code of `rule` that no feature registered.
    void fallback(protocol::PayloadRule rule, Handler handler);

    void dispatch(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload) const;

private:
    struct Entry {
        Handler handler;
        Delivery delivery = Delivery::Checked;
        ReassemblyBuffer* buffer = nullptr;
    };
    std::unordered_map<std::uint16_t, Entry> entries_;
    std::array<Handler, 8> fallbacks_{};
};

}  // namespace kalix::session
