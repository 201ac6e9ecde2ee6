#include "app/storage_medium.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <fstream>
#include <string>

namespace kalix::app {
namespace {

// The device's "removable" flag; a partition has none of its own and takes
// its disk's (the parent folder in sysfs).
bool removable(const std::filesystem::path& device) {
    for (const auto& candidate : {device / "removable", device / ".." / "removable"}) {
        std::ifstream in(candidate);
        int flag = 0;
        if (in >> flag) return flag == 1;
    }
    return false;
}

}  // namespace

StorageMode storageOf(const std::filesystem::path& program, const std::filesystem::path& sysfs) {
    struct statvfs fs {};
    if (::statvfs(program.c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY) != 0) return StorageMode::ReadOnlyMedium;
    struct stat st {};
    if (::stat(program.c_str(), &st) != 0) return StorageMode::Writable;
    const auto device = sysfs / "dev" / "block" /
                        (std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev)));
    return removable(device) ? StorageMode::ReadOnlyMedium : StorageMode::Writable;
}

}  // namespace kalix::app
