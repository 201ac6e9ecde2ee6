#include "app/operation_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <mutex>
#include <system_error>

#include "protocol/byte_order.h"
#include "protocol/unique_fd.h"

namespace kalix::app {
namespace {

std::mutex g_writers;  // one writer at a time inside this process

bool readAt(int fd, std::uint8_t* out, std::size_t n, off_t at) {
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd, out + got, n - got, at + static_cast<off_t>(got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<std::size_t>(r);
    }
    std::memset(out + got, 0, n - got);  // a new or short file reads as zeros
    return true;
}

bool writeAt(int fd, const std::uint8_t* in, std::size_t n, off_t at) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pwrite(fd, in + done, n - done, at + static_cast<off_t>(done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        done += static_cast<std::size_t>(r);
    }
    return true;
}

void copyText(std::uint8_t* field, std::size_t width, std::string_view text) {
    // An empty view may carry no pointer at all: nothing to copy then.
    if (text.empty()) return;
    std::memcpy(field, text.data(), text.size() < width ? text.size() : width);
}

}  // namespace

OperationLog::OperationLog(std::filesystem::path location, StorageMode mode, protocol::UtcOffset offset,
                           Clock clock)
    : location_(std::move(location)), mode_(mode), offset_(offset), clock_(std::move(clock)) {}

std::filesystem::path OperationLog::filePath() const {
    std::lock_guard lock(g_writers);
    return location_ / "Log" / "kalix.log";
}

void OperationLog::setLocation(std::filesystem::path location) {
    std::lock_guard lock(g_writers);
    location_ = std::move(location);
}

void OperationLog::write(session::LogCategory category, std::uint32_t action, std::string_view short_text,
                         std::string_view text) {
    append(static_cast<std::uint32_t>(category), action, short_text, text);
}

bool OperationLog::append(std::uint32_t category, std::uint32_t action, std::string_view short_text,
                          std::string_view text) {
    if (mode_ == StorageMode::ReadOnlyMedium) return false;

    std::array<std::uint8_t, kOperationRecordSize> record{};
    protocol::putLe32(record.data() + 4, kOperationRecordSize);
    protocol::putLe32(record.data() + 8, category);
    protocol::putLe32(record.data() + 12, action);
    protocol::putLe32(record.data() + 16, protocol::localWallClock(clock_(), offset_));
    copyText(record.data() + 24, 128, text);
    copyText(record.data() + 152, 32, short_text);

    std::lock_guard lock(g_writers);
    std::error_code ec;
    std::filesystem::create_directories(location_ / "Log", ec);
    const std::filesystem::path path = location_ / "Log" / "kalix.log";
    protocol::UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.valid()) return false;
    int locked;
    do {
        locked = ::flock(fd.get(), LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) return false;

    std::array<std::uint8_t, kOperationLogHeaderSize> header{};
    readAt(fd.get(), header.data(), header.size(), 0);
    std::uint32_t wrapped = protocol::le32(header.data());
    std::uint32_t next = protocol::le32(header.data() + 4);
    // A damaged header must not send the record past the ring.
    if (next >= kOperationLogSlots) next = 0;

    protocol::putLe32(record.data(), next);
    const auto at = static_cast<off_t>(kOperationLogHeaderSize + std::uint64_t{next} * kOperationRecordSize);
    if (!writeAt(fd.get(), record.data(), record.size(), at)) return false;
    if (next < kOperationLogSlots - 1) {
        ++next;
    } else {
        next = 0;
        wrapped = 1;
    }
    protocol::putLe32(header.data(), wrapped);
    protocol::putLe32(header.data() + 4, next);
    return writeAt(fd.get(), header.data(), header.size(), 0);
}

}  // namespace kalix::app
