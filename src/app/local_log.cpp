#include "app/local_log.h"

#include <cstdio>
#include <fstream>

#include "app/operation_log.h"
#include "app/string_table.h"
#include "protocol/byte_order.h"

namespace kalix::app {
namespace {

constexpr int kProgramBit = 0;
constexpr int kConnectionBit = 1;
constexpr int kPlaybackBit = 2;
constexpr int kSettingsBit = 3;
constexpr std::size_t kTextOffset = 24;
constexpr std::size_t kTextSize = 128;
constexpr std::size_t kShortTextOffset = 152;
constexpr std::size_t kShortTextSize = 32;

std::optional<std::uint16_t> localName(std::uint32_t category, std::uint32_t action) {
    const auto a = lowestBit(action);
    if (!a) return std::nullopt;
    const auto pick = [&](std::initializer_list<std::uint16_t> names) -> std::optional<std::uint16_t> {
        if (static_cast<std::size_t>(*a) >= names.size()) return std::nullopt;
        return *(names.begin() + *a);
    };
    switch (lowestBit(category, 4).value_or(-1)) {
    case kProgramBit: return pick({5360, 5361});
    case kConnectionBit: return pick({5362, 5363, 5364});
    case kPlaybackBit: return pick({5365, 5366});
    case kSettingsBit: return pick({5004, 5368});
    default: return std::nullopt;
    }
}

}  // namespace

std::vector<ListRow> localLogRows(std::span<const std::uint8_t> file, DateFormat format) {
    std::vector<ListRow> rows;
    file = file.first(std::min(file.size(), kLocalLogReadLimit));
    if (file.size() < kOperationLogHeaderSize + 8) return rows;
    const std::size_t size = protocol::le32(file.data() + 12);
    if (size < kOperationRecordSize) return rows;
    const bool wrapped = protocol::le32(file.data()) != 0;
    const std::size_t next = protocol::le32(file.data() + 4);
    const std::size_t count = std::min<std::size_t>((file.size() - kOperationLogHeaderSize) / size, kOperationLogSlots);

    // Chronological order of the slots.
    std::vector<std::size_t> order;
    order.reserve(count);
    if (wrapped && next < count) {
        for (std::size_t s = next; s < count; ++s) order.push_back(s);
        for (std::size_t s = 0; s < next; ++s) order.push_back(s);
    } else {
        for (std::size_t s = 0; s < count; ++s) order.push_back(s);
    }

    for (std::size_t i = order.size(); i-- > 0;) {
        const std::uint8_t* r = file.data() + kOperationLogHeaderSize + order[i] * size;
        const std::uint32_t category = protocol::le32(r + 8);
        const std::uint32_t action = protocol::le32(r + 12);
        const auto name = localName(category, action);
        char number[96];
        std::snprintf(number, sizeof number, "%04zu", i + 1);
        ListRow row;
        row.cols = {number, logTimeText(format, static_cast<std::int32_t>(protocol::le32(r + 16))),
                    name ? std::string(stringText(*name)) : std::string(), "", ""};
        row.ids = {std::nullopt, std::nullopt, name, std::nullopt, std::nullopt};
        if (lowestBit(category, 4) == kConnectionBit) {
            row.cols[3] = fieldText({r + kShortTextOffset, kShortTextSize});
            row.cols[4] = fieldText({r + kTextOffset, kTextSize});
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<ListRow> readLocalLog(const std::filesystem::path& location, DateFormat format) {
    std::ifstream in(location / "Log" / "kalix.log", std::ios::binary);
    if (!in) return {};
    std::vector<std::uint8_t> bytes(kLocalLogReadLimit);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return localLogRows(bytes, format);
}

}  // namespace kalix::app
