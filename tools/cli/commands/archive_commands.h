#pragma once
// kalix-cli archive: commands on the archive pairs of a folder, without a
// recorder. One file per sub-command; this header names their entries.

#include <span>
#include <string_view>

#include "cli/run_end.h"

namespace kalix::cli {

// kalix-cli archive list DIR [--json]
RunEnd runArchiveList(std::span<const std::string_view> args);
// kalix-cli archive play PATH --from T --out DIR [options]
RunEnd runArchivePlay(std::span<const std::string_view> args);

}  // namespace kalix::cli
