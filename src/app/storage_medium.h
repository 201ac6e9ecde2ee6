#pragma once
// Where the program runs from decides CD mode: a program started from a
// read-only or removable medium (a disc, a stick handed out with recordings)
// keeps no operation log, creates no folders and opens the local search at
// once. Fixed disks are everything else.

#include <filesystem>

#include "app/client_controller.h"

namespace kalix::app {

// The medium holding `program` (the executable's path). `sysfs` is where
// the block devices are described (/sys normally; tests pass a folder of
// their own). A path that cannot be examined counts as a fixed disk.
StorageMode storageOf(const std::filesystem::path& program, const std::filesystem::path& sysfs = "/sys");

}  // namespace kalix::app
