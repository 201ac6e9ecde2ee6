#include "app/backup_capacity.h"

#include <sys/statvfs.h>


namespace kalix::app {

CapacityDisplay capacityDisplay(std::uint32_t kib) {
    CapacityDisplay d;
    const char* name = "KByte";
    if (kib < 1024) {
        d.value = kib;
    } else if (kib < 1'048'576) {
        d.value = kib >> 10;
        d.unit = CapacityUnit::MByte;
        name = "MByte";
    } else {
        d.value = kib >> 20;
        d.unit = CapacityUnit::GByte;
        name = "GByte";
    }
    d.text = std::to_string(d.value) + " " + name;
    return d;
}

std::optional<std::int64_t> freeMiB(const std::filesystem::path& folder) {
    std::filesystem::path at = folder.empty() ? std::filesystem::path(".") : folder;
    std::error_code ec;
    at = std::filesystem::absolute(at, ec);
    if (ec) return std::nullopt;
    for (;;) {
        struct statvfs fs {};
        if (::statvfs(at.c_str(), &fs) == 0) {
            const std::uint64_t bytes = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
            return static_cast<std::int64_t>(bytes >> 20);
        }
        if (!at.has_relative_path()) return std::nullopt;
        at = at.parent_path();
    }
}

std::int64_t spareMiB(std::int64_t free_mib, std::uint32_t kib) {
    return free_mib - static_cast<std::int64_t>(kib >> 10);
}

}  // namespace kalix::app
