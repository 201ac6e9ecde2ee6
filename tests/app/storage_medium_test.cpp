#include "app/storage_medium.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <fstream>

namespace kalix::app {
namespace {

namespace fs = std::filesystem;

// A fake sysfs describing the device the test's own files lie on.
struct FakeSysfs {
    FakeSysfs() {
        root = fs::temp_directory_path() / ("kalix-sysfs-" + std::to_string(::getpid()));
        fs::remove_all(root);
        program = root / "kalix";
        fs::create_directories(root);
        std::ofstream(program) << "x";
        struct stat st {};
        ::stat(program.c_str(), &st);
        device = root / "dev" / "block" / (std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev)));
    }
    ~FakeSysfs() { fs::remove_all(root); }
    void flag(const fs::path& folder, const char* value) const {
        fs::create_directories(folder);
        std::ofstream(folder / "removable") << value << "\n";
    }
    fs::path root, program, device;
};

TEST(StorageMedium, RemovableDisksAndTheirPartitionsAreCdMode) {
    FakeSysfs sys;
    EXPECT_EQ(storageOf(sys.program, sys.root), StorageMode::Writable);  // nothing described

    sys.flag(sys.device, "0");
    EXPECT_EQ(storageOf(sys.program, sys.root), StorageMode::Writable);
    sys.flag(sys.device, "1");
    EXPECT_EQ(storageOf(sys.program, sys.root), StorageMode::ReadOnlyMedium);

    // A partition: no flag of its own, the disk above it is removable.
    fs::remove(sys.device / "removable");
    sys.flag(sys.device / "..", "1");
    EXPECT_EQ(storageOf(sys.program, sys.root), StorageMode::ReadOnlyMedium);
}

TEST(StorageMedium, AProgramThatCannotBeExaminedCountsAsAFixedDisk) {
    EXPECT_EQ(storageOf("/nonexistent/kalix", "/nonexistent"), StorageMode::Writable);
}

}  // namespace
}  // namespace kalix::app
