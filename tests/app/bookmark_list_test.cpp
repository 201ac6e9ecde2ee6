#include "app/bookmark_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace kalix::app {
namespace {

namespace fs = std::filesystem;

class BookmarkListTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kalix-bookmark-list-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    BookmarkList list(DateFormat f = DateFormat::YearMonthDay) {
        BookmarkList l(BookmarkFile(dir_), f);
        l.load();
        return l;
    }

    fs::path dir_;
};

constexpr protocol::RecorderTime kNoon = 1'700'000'000 - 1'700'000'000 % 86'400 + 12 * 3600;  // 2023-11-14 12:00

TEST(BookmarkTimeTextTest, FollowsTheDateFormatWithTwoSpaces) {
    EXPECT_EQ(bookmarkTimeText(kNoon + 61, DateFormat::YearMonthDay), "2023-11-14  12:01:01");
    EXPECT_EQ(bookmarkTimeText(kNoon, DateFormat::MonthDayYear), "11-14-2023  12:00:00");
    EXPECT_EQ(bookmarkTimeText(kNoon, DateFormat::DayMonthYear), "14-11-2023  12:00:00");
}

TEST_F(BookmarkListTest, AddedBookmarksAreListedWithTimeAndNote) {
    auto l = list();
    EXPECT_EQ(l.add(kNoon, "gate", "/d/a.vid").slot, 0u);
    EXPECT_EQ(l.add(kNoon + 5, "yard", "").slot, 1u);
    ASSERT_EQ(l.rows().size(), 2u);
    EXPECT_EQ(l.rows()[1].note, "yard");
    EXPECT_EQ(l.rows()[0].time, "2023-11-14  12:00:00");
    l.select(1);
    EXPECT_EQ(l.playTime(), kNoon + 5);
}

TEST_F(BookmarkListTest, AnEmptyNoteStoresNothing) {
    auto l = list();
    EXPECT_EQ(l.add(kNoon, "", "").result, BookmarkAdd::EmptyNote);
    EXPECT_FALSE(fs::exists(l.file().path()));
    EXPECT_TRUE(l.rows().empty());
}

TEST_F(BookmarkListTest, FullFileRefusesUntilOneIsDeletedThenReusesTheFreedLastSlot) {
    auto l = list();
    for (std::uint32_t i = 0; i < 64; ++i) ASSERT_EQ(l.add(kNoon + i, "n", "").result, BookmarkAdd::Added);
    const auto before = fs::file_size(l.file().path());
    EXPECT_EQ(l.add(kNoon, "more", "").result, BookmarkAdd::Full);
    EXPECT_EQ(fs::file_size(l.file().path()), before);

    l.select(10);
    ASSERT_EQ(l.deleteCurrent(), BookmarkWrite::Written);
    EXPECT_EQ(l.rows().size(), 63u);
    EXPECT_EQ(l.currentRow(), 10u);
    EXPECT_EQ(l.playTime(), kNoon + 11);  // the following record moved down
    EXPECT_EQ(fs::file_size(l.file().path()), before);

    const auto again = l.add(kNoon + 100, "again", "");
    EXPECT_EQ(again.result, BookmarkAdd::Added);
    EXPECT_EQ(again.slot, 63u);
}

TEST_F(BookmarkListTest, DeletingTheLastRowMovesTheCurrentRowUpAndTheOnlyRowLeavesNone) {
    auto l = list();
    l.add(kNoon, "a", "");
    l.add(kNoon, "b", "");
    l.select(1);
    l.deleteCurrent();
    EXPECT_EQ(l.currentRow(), 0u);
    l.deleteCurrent();
    EXPECT_EQ(l.currentRow(), std::nullopt);
    EXPECT_FALSE(l.playTime());
}

TEST_F(BookmarkListTest, DeleteAllZeroesTheFileAndTheNextBookmarkTakesSlotZero) {
    auto l = list();
    for (int i = 0; i < 5; ++i) l.add(kNoon, "x", "");
    l.deleteAll();
    EXPECT_TRUE(l.rows().empty());
    EXPECT_EQ(fs::file_size(l.file().path()), 5 * kBookmarkRecordBytes);
    EXPECT_EQ(l.add(kNoon, "y", "").slot, 0u);
}

TEST_F(BookmarkListTest, EditedNoteIsStoredAndSelectingAnotherRowClosesTheEdit) {
    auto l = list();
    l.add(kNoon, "old", "/p.vid");
    l.add(kNoon, "other", "");
    EXPECT_FALSE(l.beginEdit());
    l.select(0);
    EXPECT_EQ(l.beginEdit(), "old");
    l.select(1);
    EXPECT_FALSE(l.editing());
    l.select(0);
    l.beginEdit();
    ASSERT_EQ(l.storeNote("new"), BookmarkWrite::Written);
    EXPECT_EQ(l.rows()[0].note, "new");
    const auto reread = list();
    EXPECT_EQ(reread.rows()[0].note, "new");
    EXPECT_EQ(recordBookmark(BookmarkFile(dir_).read().records[0]).path, "/p.vid");
}

}  // namespace
}  // namespace kalix::app
