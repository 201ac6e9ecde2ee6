#include "sim/rbsp.h"

#include <bit>

namespace kalix::sim {

void RbspWriter::bits(unsigned count, std::uint32_t value) {
    // count <= 32 and fewer than 8 bits wait in acc_: 40 bits at most.
    const std::uint64_t mask = count >= 32 ? 0xFFFFFFFFu : ((std::uint64_t{1} << count) - 1);
    acc_ = (acc_ << count) | (value & mask);
    pending_ += count;
    while (pending_ >= 8) {
        pending_ -= 8;
        bytes_.push_back(static_cast<std::uint8_t>(acc_ >> pending_));
    }
    acc_ &= (std::uint64_t{1} << pending_) - 1;
}

void RbspWriter::ue(std::uint32_t value) {
    const std::uint64_t code = std::uint64_t{value} + 1;
    const auto length = static_cast<unsigned>(std::bit_width(code));
    bits(length - 1, 0);
    // code < 2^33; its top bit is the 1 that ends the zero prefix.
    if (length > 32) {
        bits(1, 1);
        bits(32, static_cast<std::uint32_t>(code));
    } else {
        bits(length, static_cast<std::uint32_t>(code));
    }
}

void RbspWriter::se(std::int32_t value) {
    const std::int64_t v = value;
    ue(static_cast<std::uint32_t>(v > 0 ? 2 * v - 1 : -2 * v));
}

void RbspWriter::alignWithZeros() {
    if (pending_ != 0) bits(8 - pending_, 0);
}

void RbspWriter::aligned(std::span<const std::uint8_t> data) {
    bytes_.insert(bytes_.end(), data.begin(), data.end());
}

void RbspWriter::trailingBits() {
    bits(1, 1);
    alignWithZeros();
}

std::optional<std::uint32_t> RbspReader::bits(unsigned count) {
    if (failed_ || count > 32 || count > size() - position_) {
        failed_ = true;
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (unsigned i = 0; i < count; ++i, ++position_) {
        const unsigned bit = (static_cast<unsigned>(data_[position_ / 8]) >> (7 - position_ % 8)) & 1u;
        value = (value << 1) | bit;
    }
    return value;
}

std::optional<bool> RbspReader::flag() {
    const auto bit = bits(1);
    if (!bit) return std::nullopt;
    return *bit != 0;
}

std::optional<std::uint32_t> RbspReader::ue() {
    unsigned zeros = 0;
    for (;;) {
        const auto bit = bits(1);
        if (!bit) return std::nullopt;
        if (*bit == 1) break;
        if (++zeros > 31) {
            failed_ = true;
            return std::nullopt;
        }
    }
    const auto rest = bits(zeros);
    if (!rest) return std::nullopt;
    // 2^zeros - 1 + rest fits: zeros <= 31.
    return static_cast<std::uint32_t>((std::uint64_t{1} << zeros) - 1 + *rest);
}

std::optional<std::int32_t> RbspReader::se() {
    const auto code = ue();
    if (!code) return std::nullopt;
    const std::int64_t k = *code;
    return static_cast<std::int32_t>(k % 2 == 1 ? (k + 1) / 2 : -(k / 2));
}

std::optional<std::size_t> RbspReader::stopBitPosition() const {
    for (std::size_t i = data_.size(); i-- > 0;) {
        const std::uint8_t b = data_[i];
        if (b != 0) return i * 8 + 7 - static_cast<std::size_t>(std::countr_zero(b));
    }
    return std::nullopt;
}

bool RbspReader::copyTo(RbspWriter& out, std::size_t end) {
    if (failed_ || end < position_ || end > size()) return false;
    while (end - position_ >= 32) out.bits(32, *bits(32));
    const auto rest = static_cast<unsigned>(end - position_);
    out.bits(rest, *bits(rest));
    return true;
}

std::vector<std::uint8_t> unescapePayload(std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> out;
    out.reserve(payload.size());
    int zeros = 0;
    for (const std::uint8_t b : payload) {
        if (zeros >= 2 && b == 0x03) {
            zeros = 0;
            continue;
        }
        out.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
    return out;
}

void appendEscaped(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> rbsp) {
    int zeros = 0;
    for (const std::uint8_t b : rbsp) {
        if (zeros >= 2 && b <= 0x03) {
            out.push_back(0x03);
            zeros = 0;
        }
        out.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
}

}  // namespace kalix::sim
