#include "app/notice_texts.h"

#include <algorithm>
#include <iterator>

namespace kalix::app {
namespace {

struct NoticeRow {
    std::uint16_t kind;
    std::uint16_t detail;  // kAnyDetail: every detail of the kind
    std::uint16_t title_id;
    std::uint16_t message_id;
};

constexpr std::uint16_t kAnyDetail = 0xFFFF;

// clang-format off
constexpr NoticeRow kNotices[] = {
    {0x00, 0, 5051, 5054},
    {0x01, 0, 5051, 5055}, {0x01, 1, 5051, 5056},
    {0x02, 0, 5051, 5057},
    {0x03, 0, 5052, 5058}, {0x03, 1, 5052, 5059}, {0x03, 2, 5052, 5060},
    {0x03, 7, 5052, 5062}, {0x03, kAnyDetail, 5052, 5061},
    {0x04, kAnyDetail, 5053, 5063},
    {0x05, 0, 5053, 5064}, {0x05, 1, 5053, 5065}, {0x05, 2, 5053, 5066},
    {0x06, 0, 5053, 5067}, {0x06, 1, 5053, 5068}, {0x06, 2, 5053, 5069},
    {0x06, 3, 5053, 5070}, {0x06, 4, 5053, 5071}, {0x06, 5, 5053, 5072},
    {0x06, 6, 5053, 5073}, {0x06, 7, 5053, 5074},
    {0x07, 0, 5053, 5075}, {0x07, 1, 5053, 5076}, {0x07, 2, 5053, 5077}, {0x07, 3, 5053, 5078},
    {0x08, kAnyDetail, 5053, 5079},
    {0x09, kAnyDetail, 5053, 5080},
    {0x0A, kAnyDetail, 5053, 5081},
    {0x0B, 0, 5053, 5082}, {0x0B, 1, 5053, 5083},
    {0x0C, 0, 5053, 5084}, {0x0C, 1, 5053, 5085},
    {0x0D, kAnyDetail, 5053, 5086},
    {0x0E, kAnyDetail, 5053, 5087},
    {0x0F, kAnyDetail, 5053, 5088},
    {0x11, kAnyDetail, 5053, 5089},
    {0x12, kAnyDetail, 5053, 5090},
    {0x13, kAnyDetail, 5091, 5092},
};

struct StringRow {
    std::uint16_t id;
    std::string_view text;
};

constexpr StringRow kStrings[] = {
    {5051, "Connection"},
    {5052, "Login"},
    {5053, "Recorder"},
    {5054, "No network connection could be opened on this computer."},
    {5055, "The recorder did not answer in time."},
    {5056, "The recorder refused the connection. Check the address and the port."},
    {5057, "The connection to the recorder has ended."},
    {5058, "The recorder does not know this user name."},
    {5059, "The password is wrong."},
    {5060, "Too many users are connected to the recorder."},
    {5061, "The recorder ended the session."},
    {5062, "The recorder refused the login for this client."},
    {5063, "No recorded data at the chosen time."},
    {5064, "The recorder refused the request."},
    {5065, "Recording cannot be started now."},
    {5066, "Recording cannot be stopped now."},
    {5067, "The recorder refused the request."},
    {5068, "Another user is using this function on the recorder."},
    {5069, "The recorder cannot do this now."},
    {5070, "The recorder's disk is not ready."},
    {5071, "You have no right to do this on the recorder."},
    {5072, "Not enough free space for the download."},
    {5073, "The recorder is busy. Try again later."},
    {5074, "The recorder refused to reset its settings."},
    {5075, "The recorder refused the new settings."},
    {5076, "The settings are in use by another user."},
    {5077, "The settings do not fit this recorder."},
    {5078, "The recorder cannot store the settings now."},
    {5079, "The operation failed."},
    {5080, "The recorder's settings arrived damaged."},
    {5081, "The recorder has stored the settings."},
    {5082, "Upgrade the recorder's firmware with the files found?"},
    {5083, "No firmware file for this recorder in the Upgrade folder."},
    {5084, "The recorder's talk channel is in use."},
    {5085, "The recorder ended the talk."},
    {5086, "Not enough free disk space on this computer."},
    {5087, "The file could not be written."},
    {5088, "This operation is not allowed or not available."},
    {5089, "The operation could not be completed."},
    {5090, "The operation could not be completed."},
    {5091, "Version"},
    {5092, "Kalix"},
};
// clang-format on

}  // namespace

NoticeStrings noticeStrings(std::uint16_t kind, std::uint16_t detail) {
    for (const NoticeRow& row : kNotices)
        if (row.kind == kind && (row.detail == detail || row.detail == kAnyDetail))
            return {row.title_id, row.message_id};
    for (const NoticeRow& row : kNotices)  // an unlisted detail: first text of the kind
        if (row.kind == kind) return {row.title_id, row.message_id};
    return {5053, 5079};
}

std::string_view builtinString(std::uint16_t id) {
    const auto it = std::find_if(std::begin(kStrings), std::end(kStrings),
                                 [id](const StringRow& r) { return r.id == id; });
    return it == std::end(kStrings) ? std::string_view{} : it->text;
}

std::string noticeText(std::uint16_t kind, std::uint16_t detail) {
    const NoticeStrings s = noticeStrings(kind, detail);
    std::string text(builtinString(s.title_id));
    text += ": ";
    text += builtinString(s.message_id);
    return text;
}

}  // namespace kalix::app
