#include "app/connect_history.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <system_error>

#include "protocol/byte_order.h"
#include "protocol/unique_fd.h"
#include "session/dvr_session.h"

namespace kalix::app {
namespace {

constexpr std::size_t kPortAt = 260;
constexpr std::size_t kTimeAt = 264;
constexpr std::size_t kSlotAt = 268;
constexpr std::size_t kDescriptionAt = 272;
constexpr std::size_t kTextChars = kHistoryTextField - 1;  // room for the terminating zero

// The text of a zero-filled field; nothing when the zero is missing.
std::optional<std::string> readText(const std::uint8_t* field) {
    const void* zero = std::memchr(field, 0, kHistoryTextField);
    if (zero == nullptr) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(field),
                       static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - field));
}

void writeText(std::uint8_t* field, std::string_view text) {
    std::memcpy(field, text.data(), std::min(text.size(), kTextChars));
}

std::string cut(std::string_view text, std::size_t limit) { return std::string(text.substr(0, limit)); }

bool sameAddress(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

bool lockFile(int fd, int operation) {
    int result;
    do {
        result = ::flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

// The whole file, or nothing when it cannot be read or is larger than a
// history file can be.
std::optional<std::vector<std::uint8_t>> readWhole(int fd, bool& too_large) {
    too_large = false;
    struct stat info {};
    if (::fstat(fd, &info) != 0) return std::nullopt;
    if (info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > kHistoryMaxFileSize) {
        too_large = true;
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t r = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return std::nullopt;
        got += static_cast<std::size_t>(r);
    }
    return bytes;
}

bool writeAt(int fd, const std::uint8_t* data, std::size_t n, std::size_t at) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pwrite(fd, data + done, n - done, static_cast<off_t>(at + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        done += static_cast<std::size_t>(r);
    }
    return true;
}

std::array<std::uint8_t, kHistoryHeaderSize> encodeHeader(bool wrapped, std::uint32_t next_slot) {
    std::array<std::uint8_t, kHistoryHeaderSize> header{};
    protocol::putLe32(header.data(), wrapped ? 1u : 0u);
    protocol::putLe32(header.data() + 4, next_slot);
    return header;
}

std::size_t entryOffset(std::size_t slot) { return kHistoryHeaderSize + slot * kHistoryEntrySize; }

}  // namespace

std::optional<HistoryFile> parseHistoryFile(std::span<const std::uint8_t> bytes) {
    HistoryFile file;
    if (bytes.empty()) return file;
    if (bytes.size() < kHistoryHeaderSize || bytes.size() > kHistoryMaxFileSize) return std::nullopt;
    if ((bytes.size() - kHistoryHeaderSize) % kHistoryEntrySize != 0) return std::nullopt;

    const std::uint32_t wrapped = protocol::le32(bytes.data());
    file.next_slot = protocol::le32(bytes.data() + 4);
    if (wrapped > 1 || file.next_slot >= kHistorySlots) return std::nullopt;
    file.wrapped = wrapped == 1;

    const std::size_t count = (bytes.size() - kHistoryHeaderSize) / kHistoryEntrySize;
    file.entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = bytes.data() + entryOffset(i);
        auto address = readText(p);
        auto description = readText(p + kDescriptionAt);
        HistoryEntry entry;
        entry.port = protocol::le32(p + kPortAt);
        entry.time = protocol::le32(p + kTimeAt);
        entry.slot = protocol::le32(p + kSlotAt);
        if (!address || !description || entry.port > 0xFFFF || entry.slot >= kHistorySlots) return std::nullopt;
        entry.address = std::move(*address);
        entry.description = std::move(*description);
        file.entries.push_back(std::move(entry));
    }
    return file;
}

std::array<std::uint8_t, kHistoryEntrySize> encodeHistoryEntry(const HistoryEntry& entry) {
    std::array<std::uint8_t, kHistoryEntrySize> bytes{};
    writeText(bytes.data(), entry.address);
    protocol::putLe32(bytes.data() + kPortAt, entry.port);
    protocol::putLe32(bytes.data() + kTimeAt, entry.time);
    protocol::putLe32(bytes.data() + kSlotAt, entry.slot);
    writeText(bytes.data() + kDescriptionAt, entry.description);
    return bytes;
}

ConnectHistory::ConnectHistory(std::filesystem::path location, Clock clock)
    : location_(std::move(location)), clock_(std::move(clock)) {}

HistoryStatus ConnectHistory::load() {
    slots_.fill(HistoryEntry{});
    used_ = 0;
    loaded_ = false;

    protocol::UniqueFd fd(::open(filePath().c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        status_ = errno == ENOENT ? HistoryStatus::Missing : HistoryStatus::Unreadable;
        loaded_ = status_ == HistoryStatus::Missing;
        return status_;
    }
    if (!lockFile(fd.get(), LOCK_SH)) return status_ = HistoryStatus::Unreadable;
    bool too_large = false;
    const auto bytes = readWhole(fd.get(), too_large);
    if (!bytes) return status_ = too_large ? HistoryStatus::Refused : HistoryStatus::Unreadable;
    auto file = parseHistoryFile(*bytes);
    if (!file) return status_ = HistoryStatus::Refused;

    std::ranges::move(file->entries, slots_.begin());
    // Newest first; a slot without an address goes last whatever its time.
    std::ranges::stable_sort(slots_, [](const HistoryEntry& a, const HistoryEntry& b) {
        if (a.empty() != b.empty()) return b.empty();
        return a.time > b.time;
    });
    used_ = static_cast<std::size_t>(std::ranges::count_if(slots_, [](const auto& e) { return !e.empty(); }));
    loaded_ = true;
    return status_ = HistoryStatus::Loaded;
}

std::span<const HistoryEntry> ConnectHistory::entries() const { return std::span(slots_.data(), used_); }

const HistoryEntry* ConnectHistory::find(std::string_view address, std::uint32_t port) const {
    for (const auto& entry : entries()) {
        if (entry.address == address && entry.port == port) return &entry;
    }
    return nullptr;
}

bool ConnectHistory::record(std::string_view address, std::uint32_t port, std::string_view description) {
    if (address.empty()) return false;

    std::error_code ec;
    std::filesystem::create_directories(location_ / "Log", ec);
    protocol::UniqueFd fd(::open(filePath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.valid() || !lockFile(fd.get(), LOCK_EX)) return false;
    bool too_large = false;
    const auto bytes = readWhole(fd.get(), too_large);
    if (!bytes) return false;
    auto file = parseHistoryFile(*bytes);
    if (!file) return false;

    HistoryEntry entry{cut(address, kTextChars), port, static_cast<std::uint32_t>(clock_()), 0,
                       cut(description, kTextChars)};

    const auto& listed = file->entries;
    const auto same = std::ranges::find_if(listed, [&](const HistoryEntry& e) {
        return !e.empty() && e.port == port && sameAddress(e.address, entry.address);
    });
    std::size_t slot;
    bool header_changes = false;
    if (same != listed.end()) {
        slot = static_cast<std::size_t>(same - listed.begin());
    } else if (!file->wrapped) {
        slot = file->next_slot;
        if (++file->next_slot == kHistorySlots) {
            file->next_slot = 0;
            file->wrapped = true;
        }
        header_changes = true;
    } else {
        // The recorder used longest ago makes room; the first of equals.
        const auto oldest = std::ranges::min_element(listed, {}, &HistoryEntry::time);
        slot = oldest == listed.end() ? 0 : static_cast<std::size_t>(oldest - listed.begin());
    }
    entry.slot = static_cast<std::uint32_t>(slot);

    const auto encoded = encodeHistoryEntry(entry);
    if (!writeAt(fd.get(), encoded.data(), encoded.size(), entryOffset(slot))) return false;
    // A new file gets its header even when the entry needs no change to it.
    if (header_changes || bytes->empty()) {
        const auto header = encodeHeader(file->wrapped, file->next_slot);
        if (!writeAt(fd.get(), header.data(), header.size(), 0)) return false;
    }
    return true;
}

bool ConnectHistory::remove(std::size_t index) {
    if (!loaded_ || index >= used_) return false;
    std::move(slots_.begin() + static_cast<std::ptrdiff_t>(index) + 1, slots_.end(),
              slots_.begin() + static_cast<std::ptrdiff_t>(index));
    slots_.back() = HistoryEntry{};
    --used_;
    return rewrite();
}

bool ConnectHistory::setDescription(std::size_t index, std::string_view description) {
    if (!loaded_ || index >= used_) return false;
    slots_[index].description = cut(description, kTextChars);
    return rewrite();
}

bool ConnectHistory::rewrite() {
    // Without a successful load the slots say nothing about the file.
    if (!loaded_) return false;

    std::size_t written = 0;
    std::vector<std::uint8_t> bytes(kHistoryHeaderSize);
    bytes.reserve(kHistoryMaxFileSize);
    for (auto& entry : slots_) {
        // Entries move when the list is sorted or shortened; each keeps the
        // number of the slot it now lives in.
        entry.slot = static_cast<std::uint32_t>(written);
        const auto encoded = encodeHistoryEntry(entry);
        bytes.insert(bytes.end(), encoded.begin(), encoded.end());
        ++written;
        if (entry.empty()) break;
    }
    const bool full = written == kHistorySlots && !slots_.back().empty();
    const auto header = encodeHeader(full, full ? 0 : static_cast<std::uint32_t>(written - 1));
    std::ranges::copy(header, bytes.begin());

    std::error_code ec;
    std::filesystem::create_directories(location_ / "Log", ec);
    protocol::UniqueFd fd(::open(filePath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.valid() || !lockFile(fd.get(), LOCK_EX)) return false;
    return writeAt(fd.get(), bytes.data(), bytes.size(), 0);
}

// ---------------------------------------------------------------- connect dialog

void ConnectForm::setDefaultPort(bool on) {
    default_port = on;
    if (on) port.clear();
}

ConnectForm openConnectForm(const SettingsStore& store, const ConnectHistory& history) {
    ConnectForm form;
    form.address = cut(store.readText(kServerIpKey).value_or(""), kAddressFieldChars);
    const auto stored_port = store.readNumber(kServerPortKey);
    form.default_port = !stored_port.has_value();
    if (stored_port) form.port = cut(std::to_string(*stored_port), kPortFieldChars);
    const std::uint32_t port = stored_port.value_or(session::kDefaultPort);
    if (const HistoryEntry* entry = history.find(form.address, port)) {
        form.description = cut(entry->description, kDescriptionFieldChars);
    }
    return form;
}

void takeHistoryEntry(ConnectForm& form, const HistoryEntry& entry) {
    form.address = cut(entry.address, kAddressFieldChars);
    form.default_port = false;
    form.port = std::to_string(entry.port);
    form.description = cut(entry.description, kDescriptionFieldChars);
}

std::optional<std::uint16_t> parsePort(std::string_view text) {
    if (text.empty() || text.size() > kPortFieldChars) return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (value < kLowestPort || value > kHighestPort) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::optional<ConnectRequest> acceptConnectForm(ConnectForm& form, SettingsStore& store, ConnectHistory& history,
                                                const AddressResolver& resolve) {
    const std::optional<std::uint16_t> port =
        form.default_port ? std::optional<std::uint16_t>(session::kDefaultPort) : parsePort(form.port);
    if (!port) {
        form.port.clear();
        return std::nullopt;
    }

    ConnectRequest request;
    const std::string typed = cut(form.address, kAddressFieldChars);
    request.port = *port;
    request.user = cut(form.user, kUserFieldChars);
    request.password = cut(form.password, kPasswordFieldChars);
    request.description = cut(form.description, kDescriptionFieldChars);

    store.writeText(kServerIpKey, cut(typed, kStoredAddressChars));
    store.writeNumber(kServerPortKey, *port);
    store.sync();

    history.record(typed, *port, request.description);

    if (!typed.empty() && resolve) request.address = resolve(typed);
    return request;
}

}  // namespace kalix::app
