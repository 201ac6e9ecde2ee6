#include "session/reassembly_buffer.h"

#include "protocol/trace.h"

namespace kalix::session {

ReassemblyBuffer::Result ReassemblyBuffer::receiveFragment(protocol::Connection& conn,
                                                           const protocol::MessageHeader& header) {
    const std::size_t len = header.payloadLen();
    if (!overflowed_ && len > capacity_ - fill_) {
        protocol::trace("reassembly: unit over %zu bytes dropped\n", capacity_);
        overflowed_ = true;
    }
    if (overflowed_) {
        if (!protocol::SkipPayload(conn, header)) return Result::ReadFailed;
        if (!header.lastFragment()) return Result::Partial;
        reset();
        return Result::Discarded;
    }
    if (storage_.size() < capacity_) storage_.resize(capacity_);
    if (!protocol::LoopReceive(conn, std::span(storage_).subspan(fill_, len))) return Result::ReadFailed;
    fill_ += len;
    return header.lastFragment() ? Result::Complete : Result::Partial;
}

void ReassemblyBuffer::reset() {
    fill_ = 0;
    overflowed_ = false;
}

}  // namespace kalix::session
