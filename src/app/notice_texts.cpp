#include "app/notice_texts.h"

#include "app/string_table.h"
#include "app/string_uses.h"
#include "session/event_sink.h"

namespace kalix::app {
namespace {

struct NoticeRow {
    std::uint16_t kind;
    std::uint16_t detail;  // kAnyDetail: every detail of the kind
    std::uint16_t title_id;
    std::uint16_t message_id;
};

constexpr std::uint16_t kAnyDetail = 0xFFFF;
constexpr std::uint16_t kFirstNoticeString = app::stringNumber("notices: titles and messages");
constexpr std::uint16_t kLastNoticeString = app::stringNumber("notices: titles and messages", 41);

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
    if (id < kFirstNoticeString || id > kLastNoticeString) return {};
    return stringText(id);
}

NoticeButtons noticeButtons(std::uint16_t kind, std::uint16_t detail) {
    constexpr std::uint16_t kFirmwareFilesFound = 0;  // detail 1: the list is empty, nothing to ask
    const session::Notice notice{kind, detail};
    if (notice.is(session::NoticeKind::NoRecordedData)) return NoticeButtons::YesNo;
    if (notice.is(session::NoticeKind::Firmware) && detail == kFirmwareFilesFound) return NoticeButtons::OkCancel;
    return NoticeButtons::Ok;
}

NoticeButtonStrings noticeButtonStrings(NoticeButtons buttons) {
    constexpr std::uint16_t kOk = app::stringNumber("ok"), kCancel = app::stringNumber("cancel");
    constexpr std::uint16_t kYes = app::stringNumber("yes"), kNo = app::stringNumber("no");
    switch (buttons) {
    case NoticeButtons::Ok: return {kOk, 0};
    case NoticeButtons::OkCancel: return {kOk, kCancel};
    case NoticeButtons::YesNo: return {kYes, kNo};
    }
    return {kOk, 0};
}

std::string noticeText(std::uint16_t kind, std::uint16_t detail) {
    const NoticeStrings s = noticeStrings(kind, detail);
    std::string text(builtinString(s.title_id));
    text += ": ";
    text += builtinString(s.message_id);
    return text;
}

}  // namespace kalix::app
