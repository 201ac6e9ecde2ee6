#pragma once
// The operation log: a ring of 2,500 records of 184 bytes in
// <Location>/Log/kalix.log, after an 8-byte header (wrapped, next slot).
// All integers little-endian. Every record opens, updates and closes the
// file; nothing is kept in memory.
//
// Writers in this process take a mutex, and an advisory lock keeps other
// processes out while a record goes in, so no record is lost to a collision.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string_view>

#include "protocol/recorder_time.h"
#include "session/operation_log_sink.h"

namespace kalix::app {

inline constexpr std::uint32_t kOperationLogSlots = 2500;
inline constexpr std::uint32_t kOperationRecordSize = 184;
inline constexpr std::uint32_t kOperationLogHeaderSize = 8;
inline constexpr std::uint64_t kOperationLogFullSize =
    kOperationLogHeaderSize + std::uint64_t{kOperationLogSlots} * kOperationRecordSize;  // 460,008

enum class StorageMode : std::uint8_t { Writable, ReadOnlyMedium };

class OperationLog final : public session::OperationLogSink {
public:
    using Clock = std::function<std::time_t()>;

    // `location`: the Location folder; the file goes to location/Log/kalix.log.
    // On a read-only medium (CD mode) nothing is ever written.
    OperationLog(std::filesystem::path location, StorageMode mode, protocol::UtcOffset offset,
                 Clock clock = [] { return std::time(nullptr); });

    void write(session::LogCategory category, std::uint32_t action, std::string_view short_text,
               std::string_view text) override;

    // The same as write(); false when the record could not be stored.
    bool append(std::uint32_t category, std::uint32_t action, std::string_view short_text,
                std::string_view text);

    std::filesystem::path filePath() const;
    // The Location setting changed: the next record goes to the new folder.
    void setLocation(std::filesystem::path location);

private:
    std::filesystem::path location_;  // guarded by the writers' mutex
    StorageMode mode_;
    protocol::UtcOffset offset_;
    Clock clock_;
};

}  // namespace kalix::app
