#include "app/firmware_scan.h"

#include <algorithm>
#include <fstream>

#include "protocol/byte_order.h"

namespace kalix::app {
namespace {

constexpr std::array<std::uint8_t, 6> kSixRowModules = {0, 3, 4, 2, 5, 6};
constexpr std::array<std::uint8_t, 5> kFiveRowModules = {0, 3, 4, 5, 6};

std::optional<std::vector<std::uint8_t>> readHead(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> head(kFirmwareHeaderSize);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head;
}

}  // namespace

FirmwareRequest FirmwareSlot::request() const {
    FirmwareRequest out{};
    protocol::putBe32(out.data() + 4, header.stamp);
    out[16] = header.module;
    std::copy(header.name.begin(), header.name.end(), out.begin() + 21);
    return out;
}

int firmwareRowCount(std::uint8_t product_major, std::uint8_t product_minor) {
    return (product_major != 0 || product_minor > 1) ? 6 : 5;
}

std::span<const std::uint8_t> firmwareRowModules(int row_count) {
    if (row_count == 6) return kSixRowModules;
    return kFiveRowModules;
}

std::vector<RecorderModule> recorderModules(const session::RecorderIdentity& identity) {
    std::vector<RecorderModule> out;
    for (const auto& m : identity.modules) out.push_back({m.name, m.version});
    return out;
}

FirmwareCheck readFirmwareHeader(const std::filesystem::path& file, std::span<const RecorderModule> modules) {
    const auto head = readHead(file);
    if (!head) return FirmwareRefusal::Truncated;
    return checkFirmwareHeader(*head, modules);
}

FirmwareScan scanUpgradeFolder(const std::filesystem::path& folder, std::span<const RecorderModule> modules,
                               int row_count) {
    FirmwareScan scan;
    const auto row_modules = firmwareRowModules(row_count);
    for (std::size_t i = 0; i < row_modules.size(); ++i)
        scan.rows.push_back({static_cast<int>(i) + 1, row_modules[i], std::nullopt});

    std::vector<std::filesystem::path> paths;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        paths.push_back(it->path());
    std::sort(paths.begin(), paths.end(),
              [](const auto& a, const auto& b) { return a.filename().string() < b.filename().string(); });

    for (const auto& path : paths) {
        FirmwareEntry entry;
        entry.file = path.filename().string();
        const auto head = readHead(path);
        if (!head) {
            scan.entries.push_back(std::move(entry));
            continue;
        }
        const FirmwareCheck check = checkFirmwareHeader(*head, modules);
        if (const auto* refusal = std::get_if<FirmwareRefusal>(&check)) {
            entry.refusal = *refusal;
            scan.entries.push_back(std::move(entry));
            continue;
        }
        const auto& header = std::get<FirmwareHeader>(check);
        entry.module = header.module;
        entry.stamp = header.stamp;
        const auto row = std::find_if(scan.rows.begin(), scan.rows.end(),
                                      [&](const FirmwareRow& r) { return r.module == header.module; });
        const std::uint32_t running = header.module < modules.size() ? modules[header.module].version : 0;
        if (row != scan.rows.end() && header.stamp > running && (!row->slot || header.stamp > row->slot->header.stamp)) {
            row->slot = FirmwareSlot{path, entry.file, header};
            entry.accepted = true;
            ++scan.accepted;
        }
        scan.entries.push_back(std::move(entry));
    }
    return scan;
}

}  // namespace kalix::app
