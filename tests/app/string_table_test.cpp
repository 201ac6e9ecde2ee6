#include "app/string_table.h"

#include <gtest/gtest.h>

#include "app/notice_texts.h"

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

// The numbers the windows, logs, dialogs and notices look up.
TEST(StringTable, EveryNumberTheProgramUsesHasAText) {
    std::vector<int> used = {5004, 5209, 5210, 5340, 5344, 5368, 5410, 5497, 5522, 5540, 5541, 5542, 5543, 5544, 5563,
                             5585, 5604, 5680, 5681, 5810, 5837, 5880, 5881, 5890, 5891, 6062, 6073, 6074,
                             6140, 6141};
    auto range = [&used](int first, int last) {
        for (int id = first; id <= last; ++id) used.push_back(id);
    };
    range(5051, 5092);  // notices
    range(5110, 5137);  // recorder log names, storage rows
    range(5144, 5152);  // channel state, system information labels
    range(5180, 5185);  // firmware rows 1..6 (5179 + row)
    range(5190, 5194);  // firmware upload states
    range(5360, 5366);  // operation log names
    range(5380, 5383);  // folder browser, date formats
    range(5392, 5394);  // audio buffers
    range(5640, 5648);  // opacity slots
    range(5500, 5510);  // connect dialog, address book
    range(5650, 5664);  // local setup dialog
    range(5870, 5874);  // storage items
    for (int id : used) EXPECT_FALSE(stringText(static_cast<std::uint16_t>(id)).empty()) << id;
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
