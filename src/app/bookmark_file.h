#pragma once
// The bookmark file: Log/BookMarkInfo.log below the storage location, a
// plain array of 528-byte records with no header, at most 64 of them.
//
//   0    u8        in use: 1
//   1    3 bytes   zero
//   4    u32 LE    time of the bookmarked frame (RecorderTime)
//   8    char[260] note, zero-terminated
//   268  char[260] path of the .vid that was playing, zero-terminated
//
// A record whose first four bytes are zero is a free slot. Only records
// 0-63 count: bytes past them are kept as they are but never read or
// handed out as a slot.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocol/recorder_time.h"

namespace kalix::app {

inline constexpr std::size_t kBookmarkRecordBytes = 528;
inline constexpr std::size_t kBookmarkSlots = 64;
inline constexpr std::size_t kBookmarkFileBytes = kBookmarkRecordBytes * kBookmarkSlots;  // 33,792
inline constexpr std::size_t kBookmarkTextBytes = 260;  // note and path, each with its zero

using BookmarkRecord = std::array<std::uint8_t, kBookmarkRecordBytes>;

// The 64 records as the file holds them; records past the file's end are zero.
struct BookmarkArray {
    std::array<BookmarkRecord, kBookmarkSlots> records{};
};

struct Bookmark {
    protocol::RecorderTime time = 0;
    std::string note;
    std::string path;
    friend bool operator==(const Bookmark&, const Bookmark&) = default;
};

// Record fields. Texts are cut to 259 bytes so that the zero always fits.
bool recordInUse(const BookmarkRecord& r);  // the in-use byte is 1: the list shows it
bool recordFree(const BookmarkRecord& r);   // the first four bytes are zero
Bookmark recordBookmark(const BookmarkRecord& r);
BookmarkRecord makeRecord(const Bookmark& b);
void setRecordNote(BookmarkRecord& r, std::string_view note);

// Removes record `slot` from the array: the records after it move down one
// place and record 63 becomes zero.
void removeRecord(BookmarkArray& a, std::size_t slot);

enum class BookmarkWrite { Written, Failed };

class BookmarkFile {
public:
    explicit BookmarkFile(const std::filesystem::path& location);

    const std::filesystem::path& path() const { return path_; }

    // The records as stored. A file that cannot be read gives all zeros.
    BookmarkArray read() const;

    // The slot a new bookmark goes to, or nothing when the file is full:
    // the first free record among those present (0-63); else the record after
    // the last one while the file holds fewer than 64.
    std::optional<std::size_t> findFreeSlot() const;

    // Writes one record at its place, creating the folder and the file when
    // missing.
    BookmarkWrite writeRecord(std::size_t slot, const BookmarkRecord& record) const;

    // Writes the array back over the records the file already holds (at most
    // 64); the file never grows or shrinks by this. A missing file is created
    // empty.
    BookmarkWrite writeBack(const BookmarkArray& a) const;

    std::uintmax_t size() const;  // 0 when missing

private:
    std::filesystem::path path_;
};

}  // namespace kalix::app
