#include "app/log_pages.h"

#include <cstdio>
#include <ctime>

#include "app/string_table.h"

namespace kalix::app {
namespace {

constexpr int kPowerBit = 0;
constexpr int kRecordBit = 1;
constexpr int kOperationBit = 2;
constexpr int kClientBit = 3;
constexpr int kEventBit = 4;
constexpr int kCategoryBits = 5;
constexpr int kFirstExtendedType = 13;
constexpr std::uint32_t kArchiveTypeBit = 1u << 9;
constexpr std::uint16_t kArchiveName = 5585;
constexpr std::uint16_t kOtherOperation = 5121;

struct PageInfo {
    std::string_view key;
    std::string_view document;
    std::uint16_t title;
    std::uint16_t tab;
};
constexpr PageInfo kPages[] = {
    {"all", "Remote Log All", 5511, 5523},         {"power", "Remote Log Power", 5512, 5524},
    {"record", "Remote Log Record", 5513, 5525},   {"operation", "Remote Log Operation", 5514, 5526},
    {"client", "Remote Log Client", 5515, 5527},   {"event", "Remote Log Event", 5522, 5528},
    {"archive", "Remote Log Archive", 5516, 5529}, {"local", "Local Log", 5517, 5523},
};

constexpr std::uint16_t kPowerNames[] = {5110, 5111, 5112};
constexpr std::uint16_t kRecordNames[] = {5113, 5114, 5115, 5116, 5117};
constexpr std::uint16_t kClientNames[] = {5122, 5123, 5124, 5125, 5126, 5127, 5128, 5129};
constexpr std::uint16_t kEventNames[] = {5130, 5131, 5132, 5133, 5134};
// Operation types 0..16; 0 marks the camera and schedule types written as
// literal texts below.
constexpr std::uint16_t kOperationNames[] = {5118, 5119, 5120, 5121, 5121, 5585, 5890, 5090, 5891,
                                             5585, 5362, 5363, 5364, 0,    5680, 5209, 5681};
constexpr std::string_view kOperationLiterals[] = {
    " Cam%02d Name",  "", "", "", " Cam%02d Rec", " Cam%02d Frame", " Cam%02d Event", " Cam%02d Actione",
    " Rec Schedule Set", " Rec Holiday Set", " Rec Time Set"};

EntryName tableName(std::uint16_t id) { return {" " + std::string(stringText(id)), id}; }

template <std::size_t N>
EntryName fromTable(const std::uint16_t (&names)[N], std::optional<int> type) {
    if (!type || static_cast<std::size_t>(*type) >= N) return {};
    return tableName(names[static_cast<std::size_t>(*type)]);
}

const PageInfo& info(LogPage page) { return kPages[static_cast<std::size_t>(page)]; }

}  // namespace

std::string_view logPageKey(LogPage page) { return info(page).key; }
std::string_view logDocumentName(LogPage page) { return info(page).document; }
std::uint16_t logTitleId(LogPage page) { return info(page).title; }
std::uint16_t logTabId(LogPage page) { return info(page).tab; }

std::optional<LogPage> logPageFromKey(std::string_view key) {
    for (std::size_t i = 0; i < std::size(kPages); ++i)
        if (kPages[i].key == key) return static_cast<LogPage>(i);
    return std::nullopt;
}

std::optional<int> lowestBit(std::uint32_t mask, int below) {
    for (int b = 0; b < below; ++b)
        if ((mask >> b) & 1u) return b;
    return std::nullopt;
}

std::string logTimeText(DateFormat format, std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    const auto t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char clock[96];
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    return formatDate(format, tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) + " " + clock;
}

std::string fieldText(std::span<const std::uint8_t> field) {
    std::string out;
    for (std::uint8_t b : field) {
        if (b == 0) break;
        if (b < 0x80) {
            out += static_cast<char>(b);
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

EntryName remoteEntryName(const session::RemoteLogEntry& e) {
    const auto type = lowestBit(e.type);
    switch (lowestBit(e.category, kCategoryBits).value_or(-1)) {
    case kPowerBit: return fromTable(kPowerNames, type);
    case kRecordBit: return fromTable(kRecordNames, type);
    case kClientBit: return fromTable(kClientNames, type);
    case kEventBit: return fromTable(kEventNames, type);
    case kOperationBit: {
        const int t = type.value_or(-1);
        if (t < 0 || t > 23) return tableName(kOtherOperation);
        if (t < static_cast<int>(std::size(kOperationNames)) && kOperationNames[t] != 0)
            return tableName(kOperationNames[t]);
        const std::string_view literal = kOperationLiterals[t - kFirstExtendedType];
        if (literal.find("%02d") == std::string_view::npos) return {std::string(literal), std::nullopt};
        char text[96];
        std::snprintf(text, sizeof text, std::string(literal).c_str(), static_cast<int>(e.parameter % 100));
        return {text, std::nullopt};
    }
    default: return {};
    }
}

LogPageModel::LogPageModel(LogPage page, std::vector<session::RemoteLogEntry> entries, DateFormat format,
                           bool extended)
    : page_(page), entries_(std::move(entries)), format_(format), extended_(extended) {
    for (std::size_t i = entries_.size(); i-- > 0;) {
        if (row_entry_.size() == session::kRemoteLogCapacity) break;
        if (!keeps(entries_[i])) continue;
        rows_.push_back(rowFor(entries_[i]));
        row_entry_.push_back(i);
    }
}

bool LogPageModel::keeps(const session::RemoteLogEntry& e) const {
    const auto category = lowestBit(e.category, kCategoryBits);
    if (!category) return false;
    if (*category == kOperationBit && !extended_ && lowestBit(e.type).value_or(0) >= kFirstExtendedType)
        return false;
    switch (page_) {
    case LogPage::All: return true;
    case LogPage::Power: return (e.category & (1u << kPowerBit)) != 0;
    case LogPage::Record: return (e.category & (1u << kRecordBit)) != 0;
    case LogPage::Operation: return (e.category & (1u << kOperationBit)) != 0;
    case LogPage::Client: return (e.category & (1u << kClientBit)) != 0;
    case LogPage::Event: return (e.category & (1u << kEventBit)) != 0;
    case LogPage::Archive:
        return extended_ && (e.category & (1u << kOperationBit)) != 0 && (e.type & kArchiveTypeBit) != 0;
    case LogPage::Local: return false;
    }
    return false;
}

ListRow LogPageModel::rowFor(const session::RemoteLogEntry& e) const {
    char number[96];
    std::snprintf(number, sizeof number, "%05u", e.number);
    EntryName name = page_ == LogPage::Archive ? tableName(kArchiveName) : remoteEntryName(e);
    const auto category = lowestBit(e.category, kCategoryBits);
    const int type = lowestBit(e.type).value_or(-1);
    std::string details;
    if (category == kEventBit) {
        for (int c = 0; c < 32; ++c) {
            if (((e.parameter >> c) & 1u) == 0) continue;
            char channel[96];
            std::snprintf(channel, sizeof channel, "%02d ", c + 1);
            details += channel;
        }
    } else {
        const bool hidden = (category == kOperationBit && (type == 2 || type == 8)) ||
                            (category == kPowerBit && type != 1);
        if (!hidden) details = fieldText(e.text);
    }
    ListRow row;
    row.cols = {number, logTimeText(format_, e.time), std::move(name.text), fieldText(e.user), std::move(details)};
    row.ids = {std::nullopt, std::nullopt, name.id, std::nullopt, std::nullopt};
    return row;
}

bool LogPageModel::playEnabled(std::size_t row, bool local_player_running) const {
    if (row >= rows_.size() || local_player_running) return false;
    const auto& e = entryOf(row);
    const auto type = lowestBit(e.type);
    return lowestBit(e.category, kCategoryBits) == kEventBit && type && *type <= 2;
}

std::optional<session::PlayStart> LogPageModel::playRequest(std::size_t row, bool local_player_running) const {
    if (!playEnabled(row, local_player_running)) return std::nullopt;
    const auto& e = entryOf(row);
    session::PlayStart start;
    start.mask = e.parameter;
    start.kind_filter = 0;
    start.start = static_cast<protocol::RecorderTime>(e.time < 0 ? 0 : e.time);
    return start;
}

bool LogPageModel::detailEnabled(std::size_t row) const {
    if (row >= rows_.size()) return false;
    const auto& e = entryOf(row);
    if (lowestBit(e.category, kCategoryBits) != kOperationBit) return false;
    const int type = lowestBit(e.type).value_or(-1);
    return type == 4 || type == 9 || (extended_ && type >= kFirstExtendedType);
}

std::vector<ListRow> LogPageModel::detailRows(std::size_t row) const {
    std::vector<ListRow> out;
    if (!detailEnabled(row)) return out;
    out.push_back(rows_[row]);
    const auto& e = entryOf(row);
    // Two 32-byte images of the changed settings: before at 64, after at 96.
    const std::span<const std::uint8_t> before(e.text.data() + 64, 32);
    const std::span<const std::uint8_t> after(e.text.data() + 96, 32);
    auto add = [&out](std::string label, std::string value) {
        ListRow r;
        r.cols = {"", std::move(label), std::move(value), "", ""};
        r.ids.assign(5, std::nullopt);
        out.push_back(std::move(r));
    };
    if (lowestBit(e.type) == kFirstExtendedType) {
        add(" Old name", " " + fieldText(before));
        add(" New name", " " + fieldText(after));
        return out;
    }
    for (std::size_t k = 0; k < before.size(); ++k) {
        if (before[k] == after[k]) continue;
        char label[96];
        char value[96];
        std::snprintf(label, sizeof label, " Setting %02zu", k + 1);
        std::snprintf(value, sizeof value, " %d --> %d", before[k], after[k]);
        add(label, value);
    }
    return out;
}

}  // namespace kalix::app
