#pragma once
// The scan of the Upgrade folder: for every module of the recorder that has
// a row in the upgrade window, the newest file that is newer than what the
// recorder runs.
//
// Rows and modules map one to one: recorders whose product major version is
// not 0 or whose minor version is above 1 get six rows (modules 0, 3, 4, 2,
// 5, 6), the others five (0, 3, 4, 5, 6). A file for a module without a row
// is never offered.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/firmware_file.h"
#include "session/recorder_identity.h"

namespace kalix::app {

// The upgrade request's 56 bytes: 4 zero bytes, the stamp (big-endian),
// 8 zero bytes, the module number, 3 zero bytes, a zero byte, the name
// (32 bytes), 3 zero bytes.
using FirmwareRequest = std::array<std::uint8_t, 56>;

struct FirmwareSlot {
    std::filesystem::path path;
    std::string file;  // the entry's name in the folder
    FirmwareHeader header;

    FirmwareRequest request() const;
};

// One entry of the folder as the scan judged it.
struct FirmwareEntry {
    std::string file;
    std::optional<std::uint8_t> module;   // the module it is for, when recognised
    std::optional<std::uint32_t> stamp;   // its stamp, when read
    bool accepted = false;                // offered when it was read (a newer file may replace it)
    std::optional<FirmwareRefusal> refusal;  // why it was not recognised; none for an unreadable entry
};

struct FirmwareRow {
    int row = 0;  // from 1
    std::uint8_t module = 0;
    std::optional<FirmwareSlot> slot;  // the file offered for it
};

struct FirmwareScan {
    std::vector<FirmwareEntry> entries;  // in name order
    std::vector<FirmwareRow> rows;
    int accepted = 0;  // files accepted, a row replaced by a newer file counting again
};

int firmwareRowCount(std::uint8_t product_major, std::uint8_t product_minor);
// The module of each row, first row first.
std::span<const std::uint8_t> firmwareRowModules(int row_count);

// The recorder's modules by position, from its login answer.
std::vector<RecorderModule> recorderModules(const session::RecorderIdentity& identity);

// Reads the first 256 bytes of every entry of `folder` (in name order) and
// keeps the newest acceptable file per row. A folder that cannot be listed
// gives no entries.
FirmwareScan scanUpgradeFolder(const std::filesystem::path& folder, std::span<const RecorderModule> modules,
                               int row_count);

// What a file's header says now, for the check just before its upload.
FirmwareCheck readFirmwareHeader(const std::filesystem::path& file, std::span<const RecorderModule> modules);

}  // namespace kalix::app
