#pragma once
// Gathers the fragments of one media unit, download unit or configuration
// block. Fragments are read from the socket straight into the buffer.
//
// A unit that would not fit its buffer is discarded: the rest of its
// fragments are read and dropped so the stream stays in step, and nothing is
// ever written past the buffer.

#include <cstdint>
#include <span>
#include <vector>

#include "protocol/message_header.h"
#include "protocol/transport.h"

namespace kalix::session {

inline constexpr std::size_t kReassemblyCapacity = 1'244'160;  // 720 x 576 x 3

class ReassemblyBuffer {
public:
    enum class Result : std::uint8_t {
        ReadFailed,  // the socket failed; the session ends
        Partial,     // more fragments to come
        Complete,    // unit() holds one whole unit
        Discarded,   // the unit was too large and has been dropped
    };

    explicit ReassemblyBuffer(std::size_t capacity = kReassemblyCapacity) : capacity_(capacity) {}

    // Reads the payload `header` announces. After Complete the caller takes
    // unit() and then calls reset().
    Result receiveFragment(protocol::Connection& conn, const protocol::MessageHeader& header);

    std::span<const std::uint8_t> unit() const { return {storage_.data(), fill_}; }
    std::size_t fill() const { return fill_; }
    std::size_t capacity() const { return capacity_; }
    bool overflowed() const { return overflowed_; }
    void reset();

private:
    std::size_t capacity_;
    std::vector<std::uint8_t> storage_;  // sized to capacity on first use
    std::size_t fill_ = 0;
    bool overflowed_ = false;
};

}  // namespace kalix::session
