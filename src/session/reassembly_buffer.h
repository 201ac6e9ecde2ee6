#pragma once
// Gathers the fragments of one media unit, download unit, configuration
// block or reply.
//
// A unit that would not fit its buffer is discarded (media units) or cut
// to the buffer's size (search replies): the rest of its fragments are
// dropped as they come, so the stream stays in step, and nothing is ever
// written past the buffer.

#include <cstdint>
#include <span>
#include <vector>

#include "protocol/message_header.h"

namespace kalix::session {

inline constexpr std::size_t kReassemblyCapacity = 1'244'160;  // 720 x 576 x 3

class ReassemblyBuffer {
public:
    enum class Result : std::uint8_t {
        Partial = 1,  // more fragments to come
        Complete,     // unit() holds one whole unit
        Discarded,    // the unit was too large and has been dropped
    };

    enum class Overflow : std::uint8_t { Discard = 1, Truncate };

    explicit ReassemblyBuffer(std::size_t capacity = kReassemblyCapacity, Overflow overflow = Overflow::Discard)
        : capacity_(capacity), overflow_(overflow) {}

    // Appends one fragment (the payload `header` announced). After Complete
    // the caller takes unit() and then calls reset().
    Result append(const protocol::MessageHeader& header, std::span<const std::uint8_t> fragment);

    std::span<const std::uint8_t> unit() const { return {storage_.data(), fill_}; }
    std::size_t fill() const { return fill_; }
    std::size_t capacity() const { return capacity_; }
    bool overflowed() const { return overflowed_; }
    void reset();

private:
    std::size_t capacity_;
    Overflow overflow_;
    std::vector<std::uint8_t> storage_;  // sized to capacity on first use
    std::size_t fill_ = 0;
    bool overflowed_ = false;
};

}  // namespace kalix::session
