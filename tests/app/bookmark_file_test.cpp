#include "app/bookmark_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace kalix::app {
namespace {

namespace fs = std::filesystem;

class BookmarkFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kalix-bookmarks-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::vector<std::uint8_t> bytes() const {
        std::ifstream in(file().path(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void writeBytes(const std::vector<std::uint8_t>& b) const {
        fs::create_directories(file().path().parent_path());
        std::ofstream out(file().path(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
    // `count` records, each in use with time = its index, except those in `free`.
    void writeRecords(std::size_t count, std::vector<std::size_t> free = {}) const {
        std::vector<std::uint8_t> b;
        for (std::size_t i = 0; i < count; ++i) {
            BookmarkRecord r = makeRecord({static_cast<protocol::RecorderTime>(i), "n" + std::to_string(i), "p"});
            if (std::find(free.begin(), free.end(), i) != free.end()) r.fill(0);
            b.insert(b.end(), r.begin(), r.end());
        }
        writeBytes(b);
    }
    BookmarkFile file() const { return BookmarkFile(dir_); }

    fs::path dir_;
};

TEST(BookmarkRecordTest, LaysOutTimeLittleEndianAndZeroTerminatedTexts) {
    const BookmarkRecord r = makeRecord({0x12345678, "door", "/a/b.vid"});
    EXPECT_EQ(r[0], 1);
    EXPECT_EQ(r[1] | r[2] | r[3], 0);
    EXPECT_EQ(r[4], 0x78);
    EXPECT_EQ(r[7], 0x12);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[8])), "door");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[268])), "/a/b.vid");
    EXPECT_EQ(recordBookmark(r), (Bookmark{0x12345678, "door", "/a/b.vid"}));
}

TEST(BookmarkRecordTest, LongTextsAreCutTo259BytesAndAlwaysEndInZero) {
    const std::string long_text(400, 'x');
    const BookmarkRecord r = makeRecord({1, long_text, long_text});
    EXPECT_EQ(r[8 + 259], 0);
    EXPECT_EQ(r[268 + 259], 0);
    EXPECT_EQ(recordBookmark(r).note, std::string(259, 'x'));
    EXPECT_EQ(recordBookmark(r).path, std::string(259, 'x'));

    // A stored record without any zero in its texts reads no further than them.
    BookmarkRecord raw;
    raw.fill('y');
    EXPECT_EQ(recordBookmark(raw).note.size(), 259u);
    EXPECT_EQ(recordBookmark(raw).path.size(), 259u);
}

TEST(BookmarkRecordTest, RemovingMovesLaterRecordsDownAndClearsTheLast) {
    BookmarkArray a;
    for (std::size_t i = 0; i < kBookmarkSlots; ++i) a.records[i] = makeRecord({static_cast<std::uint32_t>(i), "", ""});
    removeRecord(a, 3);
    EXPECT_EQ(recordBookmark(a.records[2]).time, 2u);
    EXPECT_EQ(recordBookmark(a.records[3]).time, 4u);
    EXPECT_EQ(recordBookmark(a.records[62]).time, 63u);
    EXPECT_TRUE(recordFree(a.records[63]));
}

TEST_F(BookmarkFileTest, MissingFileGivesSlotZeroAndAnEmptyArray) {
    EXPECT_EQ(file().findFreeSlot(), 0u);
    EXPECT_FALSE(recordInUse(file().read().records[0]));
}

TEST_F(BookmarkFileTest, FirstFreeRecordIsTheSlotElseTheOneAfterTheLast) {
    writeRecords(10, {3});
    EXPECT_EQ(file().findFreeSlot(), 3u);
    writeRecords(10);
    EXPECT_EQ(file().findFreeSlot(), 10u);
}

TEST_F(BookmarkFileTest, SixtyFourRecordsInUseIsFull) {
    writeRecords(64);
    EXPECT_EQ(file().findFreeSlot(), std::nullopt);
}

TEST_F(BookmarkFileTest, FreeRecordsPastTheSixtyFourthAreNeverHandedOut) {
    // A longer file, written by something else: record 65 is free, but no
    // list would show a bookmark there.
    writeRecords(70, {65});
    EXPECT_EQ(file().findFreeSlot(), std::nullopt);
}

TEST_F(BookmarkFileTest, AShortLastRecordIsNotOverwritten) {
    std::vector<std::uint8_t> b(kBookmarkRecordBytes + 100, 0);
    b[0] = 1;
    b[kBookmarkRecordBytes] = 1;  // record 1 is in use but cut short
    writeBytes(b);
    EXPECT_EQ(file().findFreeSlot(), 2u);
}

TEST_F(BookmarkFileTest, WritingARecordCreatesTheLogFolderAndWritesInPlace) {
    ASSERT_EQ(file().writeRecord(2, makeRecord({7, "a", "b"})), BookmarkWrite::Written);
    const auto b = bytes();
    ASSERT_EQ(b.size(), 3 * kBookmarkRecordBytes);
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[2 * kBookmarkRecordBytes], 1);
    EXPECT_EQ(b[2 * kBookmarkRecordBytes + 4], 7);
    EXPECT_EQ(file().writeRecord(64, makeRecord({7, "a", "b"})), BookmarkWrite::Failed);
}

TEST_F(BookmarkFileTest, WriteBackKeepsTheFileSize) {
    writeRecords(5);
    BookmarkArray a = file().read();
    removeRecord(a, 0);
    a.records[10] = makeRecord({99, "beyond", ""});  // past the file: not written
    ASSERT_EQ(file().writeBack(a), BookmarkWrite::Written);
    EXPECT_EQ(bytes().size(), 5 * kBookmarkRecordBytes);
    const BookmarkArray back = file().read();
    EXPECT_EQ(recordBookmark(back.records[0]).time, 1u);
    EXPECT_TRUE(recordFree(back.records[4]));
    EXPECT_TRUE(recordFree(back.records[10]));

    std::vector<std::uint8_t> odd(1000, 0xAB);
    writeBytes(odd);
    ASSERT_EQ(file().writeBack(BookmarkArray{}), BookmarkWrite::Written);
    EXPECT_EQ(bytes(), std::vector<std::uint8_t>(1000, 0));
}

TEST_F(BookmarkFileTest, WriteFailuresAreReported) {
    // The Log "folder" is a file: nothing can be created below it.
    std::ofstream(dir_ / "Log") << "x";
    EXPECT_EQ(file().writeRecord(0, makeRecord({1, "a", ""})), BookmarkWrite::Failed);
    EXPECT_EQ(file().writeBack(BookmarkArray{}), BookmarkWrite::Failed);
}

}  // namespace
}  // namespace kalix::app
