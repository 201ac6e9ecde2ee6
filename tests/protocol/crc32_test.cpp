#include "protocol/crc32.h"

#include <gtest/gtest.h>

#include <string_view>

namespace kalix::protocol {
namespace {

TEST(Crc32, MatchesTheIeeeCheckValue) {
    constexpr std::string_view text = "123456789";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    EXPECT_EQ(crc32({bytes, text.size()}), 0xCBF43926u);
    EXPECT_EQ(crc32({}), 0u);
}

}  // namespace
}  // namespace kalix::protocol
