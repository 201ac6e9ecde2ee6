#include "app/bookmark_list.h"

#include <cstdio>

#include "app/recording_calendar.h"

namespace kalix::app {

std::string bookmarkTimeText(protocol::RecorderTime time, DateFormat format) {
    const CalendarDate date = dateOf(time);
    const int second = secondOfDay(time);
    char clock[48];
    std::snprintf(clock, sizeof clock, "  %02d:%02d:%02d", second / 3600, second % 3600 / 60, second % 60);
    return formatDate(format, date.year, date.month0 + 1, date.day0 + 1) + clock;
}

BookmarkList::BookmarkList(BookmarkFile file, DateFormat format) : file_(std::move(file)), format_(format) {}

void BookmarkList::load() {
    array_ = file_.read();
    current_.reset();
    editing_ = false;
    buildRows();
}

void BookmarkList::buildRows() {
    rows_.clear();
    for (std::size_t i = 0; i < kBookmarkSlots; ++i) {
        const BookmarkRecord& r = array_.records[i];
        if (!recordInUse(r)) continue;
        const Bookmark b = recordBookmark(r);
        rows_.push_back({i, bookmarkTimeText(b.time, format_), b.note});
    }
}

void BookmarkList::select(std::size_t row) {
    if (row >= rows_.size()) return;
    if (current_ != row) editing_ = false;
    current_ = row;
}

std::optional<std::string> BookmarkList::beginEdit() {
    if (!current_) return std::nullopt;
    editing_ = true;
    return rows_[*current_].note;
}

BookmarkWrite BookmarkList::storeNote(const std::string& note) {
    if (!current_ || !editing_) return BookmarkWrite::Failed;
    editing_ = false;
    BookmarkRow& row = rows_[*current_];
    setRecordNote(array_.records[row.slot], note);
    row.note = recordBookmark(array_.records[row.slot]).note;
    return file_.writeBack(array_);
}

BookmarkWrite BookmarkList::deleteCurrent() {
    if (!current_) return BookmarkWrite::Failed;
    const std::size_t row = *current_;
    removeRecord(array_, rows_[row].slot);
    editing_ = false;
    const BookmarkWrite written = file_.writeBack(array_);
    buildRows();
    if (rows_.empty())
        current_.reset();
    else
        current_ = std::min(row, rows_.size() - 1);
    return written;
}

BookmarkWrite BookmarkList::deleteAll() {
    array_ = BookmarkArray{};
    current_.reset();
    editing_ = false;
    rows_.clear();
    return file_.writeBack(array_);
}

BookmarkAddResult BookmarkList::add(protocol::RecorderTime time, const std::string& note, const std::string& vid_path) {
    if (note.empty()) return {BookmarkAdd::EmptyNote, 0};
    const auto slot = file_.findFreeSlot();
    if (!slot) return {BookmarkAdd::Full, 0};
    if (file_.writeRecord(*slot, makeRecord({time, note, vid_path})) != BookmarkWrite::Written)
        return {BookmarkAdd::WriteFailed, 0};
    load();
    return {BookmarkAdd::Added, *slot};
}

std::optional<protocol::RecorderTime> BookmarkList::playTime() const {
    if (!current_) return std::nullopt;
    return recordBookmark(array_.records[rows_[*current_].slot]).time;
}

}  // namespace kalix::app
