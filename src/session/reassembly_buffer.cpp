#include "session/reassembly_buffer.h"

#include <cstring>

#include "protocol/trace.h"

namespace kalix::session {

ReassemblyBuffer::Result ReassemblyBuffer::append(const protocol::MessageHeader& header,
                                                  std::span<const std::uint8_t> fragment) {
    const std::size_t len = fragment.size();
    if (storage_.size() < capacity_) storage_.resize(capacity_);
    if (!overflowed_ && len > capacity_ - fill_) {
        overflowed_ = true;
        if (overflow_ == Overflow::Truncate) {
            protocol::trace("reassembly: reply cut to %zu bytes\n", capacity_);
            if (capacity_ > fill_) std::memcpy(storage_.data() + fill_, fragment.data(), capacity_ - fill_);
            fill_ = capacity_;
        } else {
            protocol::trace("reassembly: unit over %zu bytes dropped\n", capacity_);
        }
    }
    if (overflowed_) {
        if (overflow_ == Overflow::Truncate) {
            if (!header.lastFragment()) return Result::Partial;
            overflowed_ = false;
            return Result::Complete;
        }
        if (!header.lastFragment()) return Result::Partial;
        reset();
        return Result::Discarded;
    }
    if (len > 0) std::memcpy(storage_.data() + fill_, fragment.data(), len);
    fill_ += len;
    return header.lastFragment() ? Result::Complete : Result::Partial;
}

void ReassemblyBuffer::reset() {
    fill_ = 0;
    overflowed_ = false;
}

}  // namespace kalix::session
