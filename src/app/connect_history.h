#pragma once
// The recorders the operator has connected to, and the connect dialog's
// form without its widgets.
//
// The history file <Location>/Log/ConnectInfo100.log holds an 8-byte header
// (wrapped flag, next slot) and up to 100 entries of 532 bytes: address
// (260, zero-filled), port, time of the last connection (seconds since
// 1970), slot index, description (260, zero-filled). All integers are
// little-endian. New recorders go to the next slot until all 100 were used;
// after that a new recorder replaces the one used longest ago. A recorder
// already listed (address compared without regard to case, and port) is
// refreshed in place.
//
// Every field read from the file is checked. A file that is cut short, too
// long, or holds a value no writer produces is refused: it is neither
// listed nor changed, so nothing in it is lost.

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/client_controller.h"
#include "app/settings_store.h"

namespace kalix::app {

inline constexpr const char* kHistoryFileName = "ConnectInfo100.log";
inline constexpr std::size_t kHistorySlots = 100;
inline constexpr std::size_t kHistoryHeaderSize = 8;
inline constexpr std::size_t kHistoryEntrySize = 532;
inline constexpr std::size_t kHistoryTextField = 260;
inline constexpr std::size_t kHistoryMaxFileSize = kHistoryHeaderSize + kHistorySlots * kHistoryEntrySize;

struct HistoryEntry {
    std::string address;  // as typed; empty marks an unused slot
    std::uint32_t port = 0;
    std::uint32_t time = 0;  // last connection, seconds since 1970
    std::uint32_t slot = 0;  // the slot the entry was written to
    std::string description;

    bool empty() const { return address.empty(); }
    friend bool operator==(const HistoryEntry&, const HistoryEntry&) = default;
};

// The file's contents in file order.
struct HistoryFile {
    bool wrapped = false;
    std::uint32_t next_slot = 0;
    std::vector<HistoryEntry> entries;  // at most kHistorySlots
};

// Parses the whole file. Nothing for a file whose size is not the header
// plus whole entries, or that holds an impossible value: a flag other than
// 0 or 1, a slot of 100 or more, a port above 65,535, a text without its
// terminating zero. An empty file reads as an empty history.
std::optional<HistoryFile> parseHistoryFile(std::span<const std::uint8_t> bytes);
std::array<std::uint8_t, kHistoryEntrySize> encodeHistoryEntry(const HistoryEntry& entry);

enum class HistoryStatus : std::uint8_t {
    Loaded,      // the file was read
    Missing,     // no file yet: an empty history
    Unreadable,  // the file exists but cannot be opened or read
    Refused,     // truncated or corrupt: left alone
};

class ConnectHistory {
public:
    using Clock = std::function<std::time_t()>;

    // `location`: the Location folder; the file is location/Log/ConnectInfo100.log.
    explicit ConnectHistory(std::filesystem::path location, Clock clock = [] { return std::time(nullptr); });

    std::filesystem::path filePath() const { return location_ / "Log" / kHistoryFileName; }

    // Reads the file into the 100 slots, newest first, unused slots last.
    // Anything but Loaded leaves the slots empty.
    HistoryStatus load();
    HistoryStatus status() const { return status_; }

    // The entries in use, newest first: the address book's rows.
    std::span<const HistoryEntry> entries() const;
    const std::array<HistoryEntry, kHistorySlots>& allSlots() const { return slots_; }
    // The entry with exactly this address text and port, if listed.
    const HistoryEntry* find(std::string_view address, std::uint32_t port) const;

    // Adds or refreshes (address, port) in the file with the current time.
    // An empty address is not recorded: an entry without an address ends
    // the list when the file is written back. False when the file is
    // refused or cannot be written. The loaded slots are not changed.
    bool record(std::string_view address, std::uint32_t port, std::string_view description);

    // Address book edits on the loaded entries (index into entries()); each
    // writes the file back. False for an index out of range, after a load
    // that did not succeed, or when the file cannot be written.
    bool remove(std::size_t index);
    bool setDescription(std::size_t index, std::string_view description);

    // Writes the slots from the first up to and including the first unused
    // one, then the header: not wrapped with that slot as the next, or
    // wrapped with next slot 0 when all 100 are in use.
    bool rewrite();

private:
    std::filesystem::path location_;
    Clock clock_;
    std::array<HistoryEntry, kHistorySlots> slots_{};
    std::size_t used_ = 0;
    HistoryStatus status_ = HistoryStatus::Missing;
    bool loaded_ = false;
};

// ---------------------------------------------------------------- connect dialog

inline constexpr std::size_t kAddressFieldChars = 120;
inline constexpr std::size_t kPortFieldChars = 5;
inline constexpr std::size_t kUserFieldChars = 8;
inline constexpr std::size_t kPasswordFieldChars = 8;
inline constexpr std::size_t kDescriptionFieldChars = 256;
inline constexpr std::uint32_t kLowestPort = 1;
inline constexpr std::uint32_t kHighestPort = 65534;

// The store keeps the last address (up to 99 characters) and port.
inline constexpr std::string_view kServerIpKey = "IPSetup/ServerIP/IP";
inline constexpr std::string_view kServerPortKey = "IPSetup/ServerIP/Port";
inline constexpr std::size_t kStoredAddressChars = 99;

// Control numbers of the connect dialog.
enum class ConnectControl : std::uint16_t {
    Ok = 1,
    Cancel = 2,
    Address = 380,
    Port = 381,
    User = 382,
    Password = 383,
    DefaultPortOn = 384,
    DefaultPortOff = 385,
    Description = 386,
    AddressBook = 993,
};

// The fields of the connect dialog. In default-port mode the port field is
// empty and disabled and the recorder's default port is used.
struct ConnectForm {
    std::string address;
    bool default_port = true;
    std::string port;
    std::string user;
    std::string password;
    std::string description;

    // The default-port switch. Switching it on empties the port field.
    void setDefaultPort(bool on);
};

// The form as the dialog opens: the stored address and port, and the
// description of the history entry with exactly that address and port.
// `history` should have been loaded.
ConnectForm openConnectForm(const SettingsStore& store, const ConnectHistory& history);

// The address book's OK: the chosen entry's address, port and description.
// The port is used as it stands, so default-port mode goes off.
void takeHistoryEntry(ConnectForm& form, const HistoryEntry& entry);

// The port field's text as a port: digits only, 1..65,534.
std::optional<std::uint16_t> parsePort(std::string_view text);

using AddressResolver = std::function<std::string(std::string_view typed)>;

// OK of the connect dialog. An invalid port empties the port field and
// gives nothing: the dialog stays open with the focus on the port. Otherwise
// the address and port are stored, the recorder is recorded in the history
// as typed, and the request carries the resolved dotted address (empty when
// the name does not resolve).
std::optional<ConnectRequest> acceptConnectForm(ConnectForm& form, SettingsStore& store, ConnectHistory& history,
                                                const AddressResolver& resolve);

}  // namespace kalix::app
