#pragma once
// The Local Log page of the local search without its widgets: the
// operation log file read whole and listed newest first.

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "app/local_settings.h"
#include "app/log_pages.h"

namespace kalix::app {

// The most the page reads of the file.
inline constexpr std::size_t kLocalLogReadLimit = 2'400'000;

// Rows of the page from the file's bytes. The record size is the file's
// word at offset 12; a size too small for a record gives no rows.
std::vector<ListRow> localLogRows(std::span<const std::uint8_t> file, DateFormat format);

// location/Log/kalix.log; a missing or unreadable file gives no rows.
std::vector<ListRow> readLocalLog(const std::filesystem::path& location, DateFormat format);

}  // namespace kalix::app
