#pragma once
// The bookmark list page of the local search, without widgets: the rows of
// the in-use records, the current row, editing a note, deleting one or all,
// adding a bookmark, and the time to play from.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "app/bookmark_file.h"
#include "app/local_settings.h"

namespace kalix::app {

// "YYYY-MM-DD  hh:mm:ss" in the order of the date format (two spaces).
std::string bookmarkTimeText(protocol::RecorderTime time, DateFormat format);

struct BookmarkRow {
    std::size_t slot = 0;
    std::string time;
    std::string note;
};

enum class BookmarkAdd { Added, EmptyNote, Full, WriteFailed };
struct BookmarkAddResult {
    BookmarkAdd result = BookmarkAdd::Added;
    std::size_t slot = 0;  // with Added
};

// The notice of a full bookmark file: kind 0x12, detail 0.
inline constexpr std::uint16_t kBookmarkFullNoticeKind = 0x12;

class BookmarkList {
public:
    explicit BookmarkList(BookmarkFile file, DateFormat format = DateFormat::YearMonthDay);

    // Reads the file again; the current row and any open edit are dropped.
    void load();

    const std::vector<BookmarkRow>& rows() const { return rows_; }
    std::optional<std::size_t> currentRow() const { return current_; }
    bool editing() const { return editing_; }

    // Makes `row` current; an open note edit closes.
    void select(std::size_t row);

    // The note to put into the edit field, and the edit opens.
    std::optional<std::string> beginEdit();
    // Stores the edited note in the current row's record and writes the
    // array back. An empty text is stored as an empty note.
    BookmarkWrite storeNote(const std::string& note);
    void cancelEdit() { editing_ = false; }

    // The current row's record leaves; the records after it move down.
    BookmarkWrite deleteCurrent();
    BookmarkWrite deleteAll();

    BookmarkAddResult add(protocol::RecorderTime time, const std::string& note, const std::string& vid_path);

    // The time of the current row, to start local playback at.
    std::optional<protocol::RecorderTime> playTime() const;

    const BookmarkFile& file() const { return file_; }

private:
    void buildRows();

    BookmarkFile file_;
    DateFormat format_;
    BookmarkArray array_;
    std::vector<BookmarkRow> rows_;
    std::optional<std::size_t> current_;
    bool editing_ = false;
};

}  // namespace kalix::app
