#pragma once
// The archive pairs of a download, written by the archive writer into a
// folder (the storage location's Download folder, or the folder a
// kalix-cli download names), split at `split_bytes`.

#include <cstdint>
#include <filesystem>

#include "session/transfer_writer.h"

namespace kalix::session {

ArchiveStoreFactory archiveStoreIn(std::filesystem::path folder, std::uint64_t split_bytes);

}  // namespace kalix::session
