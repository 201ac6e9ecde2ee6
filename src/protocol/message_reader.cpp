#include "protocol/message_reader.h"

#include <algorithm>
#include <cstring>

namespace kalix::protocol {

MessageReader::MessageReader() : payload_(kMaxPayload) {}

MessageReader::Phase MessageReader::phase() const {
    if (have_header_) return Phase::Payload;
    return head_fill_ == 0 ? Phase::Boundary : Phase::Header;
}

void MessageReader::reset() {
    head_fill_ = 0;
    have_header_ = false;
    payload_fill_ = 0;
}

std::size_t MessageReader::feed(std::span<const std::uint8_t> bytes, MessageConsumer& consumer) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (!have_header_) {
            const std::size_t take = std::min(kHeaderSize - head_fill_, bytes.size() - at);
            std::memcpy(head_.data() + head_fill_, bytes.data() + at, take);
            head_fill_ += take;
            at += take;
            if (head_fill_ < kHeaderSize) break;
            header_ = MessageHeader::decode(head_.data());
            have_header_ = true;
            head_fill_ = 0;
            payload_fill_ = 0;
            consumer.header(header_);
        }
        const std::size_t len = header_.payloadLen();
        std::span<const std::uint8_t> payload;
        if (payload_fill_ == 0 && bytes.size() - at >= len) {
            payload = bytes.subspan(at, len);
            at += len;
        } else {
            const std::size_t take = std::min(len - payload_fill_, bytes.size() - at);
            if (take > 0) std::memcpy(payload_.data() + payload_fill_, bytes.data() + at, take);
            payload_fill_ += take;
            at += take;
            if (payload_fill_ < len) break;
            payload = std::span<const std::uint8_t>(payload_).first(len);
        }
        have_header_ = false;
        payload_fill_ = 0;
        if (!consumer.message(header_, payload)) return at;
    }
    return at;
}

}  // namespace kalix::protocol
