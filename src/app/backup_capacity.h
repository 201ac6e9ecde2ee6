#pragma once
// The capacity check of a backup: the size the recorder calculated for a
// range (KiB), how the backup page shows it, and whether the storage
// folder's file system has room for it with 100 MiB to spare.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace kalix::app {

inline constexpr std::int64_t kBackupReserveMiB = 100;

enum class CapacityUnit : std::uint8_t { KByte = 0, MByte = 1, GByte = 2 };

struct CapacityDisplay {
    std::uint32_t value = 0;
    CapacityUnit unit = CapacityUnit::KByte;
    std::string text;  // "%d KByte", "%d MByte" or "%d GByte"
};

CapacityDisplay capacityDisplay(std::uint32_t kib);

// The free MiB for an unprivileged user on the file system that holds
// `folder`, or on that of its nearest existing parent when the folder is
// still to be made; nothing when no such file system can be asked.
std::optional<std::int64_t> freeMiB(const std::filesystem::path& folder);

// free − (kib >> 10), computed signed: a size beyond the free space is a
// shortage, never a wrapped-round pass.
std::int64_t spareMiB(std::int64_t free_mib, std::uint32_t kib);
inline bool capacityFits(std::int64_t free_mib, std::uint32_t kib) {
    return spareMiB(free_mib, kib) >= kBackupReserveMiB;
}

}  // namespace kalix::app
