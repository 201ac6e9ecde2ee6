#include "app/bookmark_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

#include "protocol/byte_order.h"

namespace kalix::app {
namespace {

constexpr std::size_t kTimeAt = 4;
constexpr std::size_t kNoteAt = 8;
constexpr std::size_t kPathAt = 268;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string textAt(const BookmarkRecord& r, std::size_t at) {
    const auto* begin = reinterpret_cast<const char*>(r.data() + at);
    return std::string(begin, ::strnlen(begin, kBookmarkTextBytes - 1));
}

void putText(BookmarkRecord& r, std::size_t at, std::string_view text) {
    std::fill_n(r.begin() + static_cast<std::ptrdiff_t>(at), kBookmarkTextBytes, std::uint8_t{0});
    const std::size_t n = std::min(text.size(), kBookmarkTextBytes - 1);
    std::memcpy(r.data() + at, text.data(), n);
}

// Whole records (at most 64) that overlap a file of `size` bytes.
std::size_t recordsPresent(std::uintmax_t size) {
    const std::uintmax_t n = (size + kBookmarkRecordBytes - 1) / kBookmarkRecordBytes;
    return static_cast<std::size_t>(std::min<std::uintmax_t>(n, kBookmarkSlots));
}

}  // namespace

bool recordInUse(const BookmarkRecord& r) { return r[0] == 1; }

bool recordFree(const BookmarkRecord& r) { return r[0] == 0 && r[1] == 0 && r[2] == 0 && r[3] == 0; }

Bookmark recordBookmark(const BookmarkRecord& r) {
    Bookmark b;
    b.time = protocol::le32(r.data() + kTimeAt);
    b.note = textAt(r, kNoteAt);
    b.path = textAt(r, kPathAt);
    return b;
}

BookmarkRecord makeRecord(const Bookmark& b) {
    BookmarkRecord r{};
    r[0] = 1;
    for (std::size_t i = 0; i < 4; ++i) r[kTimeAt + i] = static_cast<std::uint8_t>(b.time >> (8 * i));
    putText(r, kNoteAt, b.note);
    putText(r, kPathAt, b.path);
    return r;
}

void setRecordNote(BookmarkRecord& r, std::string_view note) { putText(r, kNoteAt, note); }

void removeRecord(BookmarkArray& a, std::size_t slot) {
    if (slot >= kBookmarkSlots) return;
    std::move(a.records.begin() + static_cast<std::ptrdiff_t>(slot) + 1, a.records.end(),
              a.records.begin() + static_cast<std::ptrdiff_t>(slot));
    a.records.back().fill(0);
}

BookmarkFile::BookmarkFile(const std::filesystem::path& location)
    : path_(location / "Log" / "BookMarkInfo.log") {}

std::uintmax_t BookmarkFile::size() const {
    std::error_code ec;
    const auto n = std::filesystem::file_size(path_, ec);
    return ec ? 0 : n;
}

BookmarkArray BookmarkFile::read() const {
    BookmarkArray a;
    const File f(std::fopen(path_.c_str(), "rb"));
    if (!f) return a;
    for (auto& r : a.records) {
        const std::size_t got = std::fread(r.data(), 1, r.size(), f.get());
        if (got < r.size()) break;  // the rest of a short record stays zero
    }
    return a;
}

std::optional<std::size_t> BookmarkFile::findFreeSlot() const {
    const std::uintmax_t size = this->size();
    const std::size_t present = recordsPresent(size);
    const BookmarkArray a = read();
    for (std::size_t i = 0; i < present; ++i)
        if (recordFree(a.records[i])) return i;
    // A short last record is someone's data: the next slot is after it.
    if (present >= kBookmarkSlots) return std::nullopt;
    return present;
}

BookmarkWrite BookmarkFile::writeRecord(std::size_t slot, const BookmarkRecord& record) const {
    if (slot >= kBookmarkSlots) return BookmarkWrite::Failed;
    std::error_code ec;
    std::filesystem::create_directories(path_.parent_path(), ec);
    File f(std::fopen(path_.c_str(), "r+b"));
    if (!f) f.reset(std::fopen(path_.c_str(), "w+b"));
    if (!f) return BookmarkWrite::Failed;
    if (std::fseek(f.get(), static_cast<long>(slot * kBookmarkRecordBytes), SEEK_SET) != 0)
        return BookmarkWrite::Failed;
    if (std::fwrite(record.data(), 1, record.size(), f.get()) != record.size()) return BookmarkWrite::Failed;
    return std::fclose(f.release()) == 0 ? BookmarkWrite::Written : BookmarkWrite::Failed;
}

BookmarkWrite BookmarkFile::writeBack(const BookmarkArray& a) const {
    std::error_code ec;
    std::filesystem::create_directories(path_.parent_path(), ec);
    File f(std::fopen(path_.c_str(), "r+b"));
    if (!f) f.reset(std::fopen(path_.c_str(), "w+b"));
    if (!f) return BookmarkWrite::Failed;
    if (std::fseek(f.get(), 0, SEEK_END) != 0) return BookmarkWrite::Failed;
    const long end = std::ftell(f.get());
    if (end < 0 || std::fseek(f.get(), 0, SEEK_SET) != 0) return BookmarkWrite::Failed;
    const auto size = static_cast<std::uintmax_t>(end);
    // Only the bytes the file already holds: a short last record stays short.
    std::uintmax_t pos = 0;
    for (std::size_t i = 0; i < kBookmarkSlots && pos < size; ++i) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uintmax_t>(kBookmarkRecordBytes, size - pos));
        if (std::fwrite(a.records[i].data(), 1, n, f.get()) != n) return BookmarkWrite::Failed;
        pos += n;
    }
    return std::fclose(f.release()) == 0 ? BookmarkWrite::Written : BookmarkWrite::Failed;
}

}  // namespace kalix::app
