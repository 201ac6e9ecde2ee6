#pragma once
// Cuts the byte stream from the recorder into whole messages. It does no
// I/O: it is fed whatever bytes arrived, in pieces of any size, and hands
// on each header as soon as its 16 bytes are in and each message once its
// payload is complete.
//
// The payload is never larger than a header can announce (65,535 bytes),
// so the reader's own buffer is allocated once. A message that lies wholly
// inside one piece is handed on from that piece, without a copy.

#include <cstdint>
#include <span>
#include <vector>

#include "protocol/message_header.h"

namespace kalix::protocol {

class MessageConsumer {
public:
    virtual ~MessageConsumer() = default;
    // The header of the next message, before its payload has arrived.
    virtual void header(const MessageHeader& header) = 0;
    // One whole message. The payload is only valid during the call. False
    // stops the reader: the rest of the piece is left unread.
    virtual bool message(const MessageHeader& header, std::span<const std::uint8_t> payload) = 0;
};

class MessageReader {
public:
    enum class Phase : std::uint8_t { Boundary = 1, Header, Payload };

    MessageReader();

    // Feeds the next piece of the stream. Returns the number of bytes taken:
    // all of them, unless the consumer asked to stop.
    std::size_t feed(std::span<const std::uint8_t> bytes, MessageConsumer& consumer);

    // Boundary: between two messages; Header: part of a header is in;
    // Payload: a header is in and its payload is not complete.
    Phase phase() const;
    // Drops a partly read message.
    void reset();

private:
    std::array<std::uint8_t, kHeaderSize> head_{};
    std::size_t head_fill_ = 0;
    bool have_header_ = false;
    MessageHeader header_{};
    std::vector<std::uint8_t> payload_;  // capacity kMaxPayload
    std::size_t payload_fill_ = 0;
};

}  // namespace kalix::protocol
