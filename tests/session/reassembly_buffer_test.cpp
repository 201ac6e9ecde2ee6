#include "session/reassembly_buffer.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalix::session {
namespace {

using protocol::Code;
using protocol::Fragment;
using Result = ReassemblyBuffer::Result;

Result add(ReassemblyBuffer& b, const std::vector<std::uint8_t>& bytes, Fragment fragment) {
    const auto h = protocol::MessageHeader::make(Code::LIVE_DATA, static_cast<std::uint16_t>(bytes.size()), fragment);
    return b.append(h, bytes);
}

std::vector<std::uint8_t> unit(const ReassemblyBuffer& b) { return {b.unit().begin(), b.unit().end()}; }

TEST(ReassemblyBuffer, ThreeFragmentsCompleteOnceInOrder) {
    ReassemblyBuffer b;
    EXPECT_EQ(add(b, {1, 2}, Fragment::More), Result::Partial);
    EXPECT_EQ(add(b, {3}, Fragment::More), Result::Partial);
    EXPECT_EQ(add(b, {4, 5, 6}, Fragment::Last), Result::Complete);
    EXPECT_EQ(unit(b), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
    b.reset();
    EXPECT_EQ(b.fill(), 0u);
}

TEST(ReassemblyBuffer, UnitThatFitsExactlyIsKeptAndEmptyFragmentsCount) {
    ReassemblyBuffer b(10);
    EXPECT_EQ(add(b, std::vector<std::uint8_t>(6, 1), Fragment::More), Result::Partial);
    EXPECT_EQ(add(b, {}, Fragment::More), Result::Partial);
    EXPECT_EQ(add(b, std::vector<std::uint8_t>(4, 2), Fragment::Last), Result::Complete);
    EXPECT_EQ(b.unit().size(), 10u);
    b.reset();
    EXPECT_EQ(add(b, {}, Fragment::Last), Result::Complete);
    EXPECT_TRUE(b.unit().empty());
}

TEST(ReassemblyBuffer, OversizedUnitIsDroppedWholeAndTheNextOneArrives) {
    ReassemblyBuffer b(10);
    EXPECT_EQ(add(b, std::vector<std::uint8_t>(6, 1), Fragment::More), Result::Partial);
    EXPECT_EQ(add(b, std::vector<std::uint8_t>(6, 2), Fragment::More), Result::Partial);  // over the top
    EXPECT_TRUE(b.overflowed());
    EXPECT_EQ(add(b, std::vector<std::uint8_t>(3, 3), Fragment::Last), Result::Discarded);
    EXPECT_EQ(add(b, {9, 9}, Fragment::Last), Result::Complete);
    EXPECT_EQ(unit(b), (std::vector<std::uint8_t>{9, 9}));
}

}  // namespace
}  // namespace kalix::session
