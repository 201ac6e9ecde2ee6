// Any bytes as the bookmark file: reading, listing, the free-slot search,
// and every change the list page makes must stay inside the 64 records and
// never change the file's size.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/bookmark_file.h"

namespace {

namespace fs = std::filesystem;
using namespace kalix::app;

const fs::path& location() {
    static const fs::path dir = [] {
        const fs::path d = fs::temp_directory_path() / ("kalix-bookmark-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(d / "Log");
        return d;
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const BookmarkFile file(location());
    {
        std::FILE* f = std::fopen(file.path().c_str(), "wb");
        if (!f) std::abort();
        if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
        std::fclose(f);
    }
    BookmarkArray a = file.read();
    for (const auto& r : a.records) {
        const Bookmark b = recordBookmark(r);
        if (b.note.size() > kBookmarkTextBytes - 1 || b.path.size() > kBookmarkTextBytes - 1) std::abort();
    }
    const auto slot = file.findFreeSlot();
    if (slot && *slot >= kBookmarkSlots) std::abort();
    if (slot && *slot * kBookmarkRecordBytes < size && !recordFree(a.records[*slot])) std::abort();

    // The first input byte picks a record to delete, the second one to edit.
    if (size >= 2) {
        removeRecord(a, data[0] % 80);
        setRecordNote(a.records[data[1] % kBookmarkSlots], std::string(reinterpret_cast<const char*>(data), size));
    }
    if (file.writeBack(a) != BookmarkWrite::Written) std::abort();
    if (file.size() != size) std::abort();
    if (slot && file.writeRecord(*slot, makeRecord({1, "note", "path"})) != BookmarkWrite::Written) std::abort();
    return 0;
}
