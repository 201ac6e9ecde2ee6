#include "app/string_table.h"

#include <gtest/gtest.h>

#include "app/notice_texts.h"
#include "app/string_uses.h"

#include <set>
#include <string_view>

namespace kalix::app {
namespace {

// The bundle's text file holds one "number<TAB>text" line per entry, and
// lookups search the table by number.
TEST(StringTable, SortedUniqueInRangeAndFitForTheBundle) {
    const auto table = stringTable();
    ASSERT_FALSE(table.empty());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const StringEntry& e = table[i];
        if (i > 0) {
            EXPECT_LT(table[i - 1].id, e.id) << "at " << e.id;
        }
        EXPECT_TRUE(e.id == 5004 || (e.id >= kFirstStringId && e.id <= kLastStringId)) << e.id;
        EXPECT_FALSE(e.text.empty()) << e.id;
        EXPECT_EQ(e.text.find_first_of("\t\r\n"), std::string_view::npos) << e.id;
        EXPECT_EQ(stringText(e.id), e.text);
    }
    EXPECT_TRUE(stringText(5050).empty());
    EXPECT_TRUE(stringText(5093).empty());
    EXPECT_TRUE(stringText(6142).empty());
}

// The code takes every number it looks up from kStringUses, so walking the
// list covers them all.
TEST(StringTable, EveryNumberTheProgramUsesHasAText) {
    for (const StringUse& use : kStringUses) {
        ASSERT_GE(use.count, 1) << use.what;
        for (int row = 0; row < use.count; ++row) {
            const auto id = static_cast<std::uint16_t>(use.first + row);
            EXPECT_FALSE(stringText(id).empty()) << use.what << " row " << row << ": " << id;
        }
    }
}

// stringNumber() finds a use by its name, so two uses may not share one.
TEST(StringTable, EveryUseHasItsOwnName) {
    std::set<std::string_view> names;
    for (const StringUse& use : kStringUses) EXPECT_TRUE(names.insert(use.what).second) << use.what;
    static_assert(stringNumber("local setup: global rows", 5) == 5662);
    static_assert(stringNumber("ok") == 5541);
}

TEST(StringTable, MainWindowControlsHaveTooltips) {
    std::vector<int> controls = {329, 355, 356, 360, 361, 362, 363, 364, 365, 366, 368, 369, 370,
                                 371, 372, 373, 374, 375, 376, 377, 378, 420, 421};
    for (int c = 300; c <= 315; ++c) controls.push_back(c);
    for (int c = 320; c <= 328; ++c) controls.push_back(c);
    for (int c = 340; c <= 346; ++c) controls.push_back(c);
    for (int c : controls) {
        const std::uint16_t id = mainTooltipId(c);
        EXPECT_FALSE(stringText(id).empty()) << "control " << c;
        EXPECT_FALSE(id >= 5051 && id <= 5092) << "control " << c << " falls on a notice text";
    }
    EXPECT_EQ(stringText(mainTooltipId(315)), "Channel 16");
}

// The notice box and kalix-cli read the same texts as the bundle.
TEST(StringTable, NoticeTextsComeFromTheTable) {
    for (std::uint16_t id = 5051; id <= 5092; ++id) EXPECT_EQ(builtinString(id), stringText(id)) << id;
    EXPECT_TRUE(builtinString(5004).empty());
    EXPECT_TRUE(builtinString(6062).empty());
}

}  // namespace
}  // namespace kalix::app
