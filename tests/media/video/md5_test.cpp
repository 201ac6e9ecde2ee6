#include "media/video/md5.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace kalix::media {
namespace {

std::string hexOf(std::string_view s) {
    return md5Hex({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()});
}

TEST(Md5, KnownDigestsAcrossPaddingBoundaries) {
    EXPECT_EQ(hexOf(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(hexOf("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(hexOf("The quick brown fox jumps over the lazy dog"), "9e107d9d372bb6826bd81d3542a419d6");
    // 55, 56 and 64 bytes: the tail block's edge cases.
    EXPECT_EQ(hexOf(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(hexOf(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(hexOf(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
}

}  // namespace
}  // namespace kalix::media
