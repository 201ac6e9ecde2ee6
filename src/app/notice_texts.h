#pragma once
// Which string numbers an operator notice shows, and the program's own
// English texts for them (the front end takes the texts from the resource
// bundle when it has one; kalix-cli uses these).

#include <cstdint>
#include <string>
#include <string_view>

namespace kalix::app {

struct NoticeStrings {
    std::uint16_t title_id;
    std::uint16_t message_id;
};

// String numbers (5051-5092) for a notice of `kind` and `detail`. A kind or
// detail without a text of its own gets the generic text of its kind.
NoticeStrings noticeStrings(std::uint16_t kind, std::uint16_t detail);

// The built-in English text of a notice string number (5051-5092, from the
// program's string table); empty for any other number.
std::string_view builtinString(std::uint16_t id);

// The answer buttons of a notice box. Kinds that ask the operator something
// get two buttons: kind 4 (no recorded data where a remote playback was to
// start: search again?) Yes and No, kind 0x0B with firmware files found
// (upgrade now?) OK and Cancel. Every other notice only informs: OK.
enum class NoticeButtons : std::uint8_t { Ok, OkCancel, YesNo };

NoticeButtons noticeButtons(std::uint16_t kind, std::uint16_t detail);

// String numbers of the captions of a button set: accept, then reject
// (0 when the set has no reject button).
struct NoticeButtonStrings {
    std::uint16_t accept_id;
    std::uint16_t reject_id;
};

NoticeButtonStrings noticeButtonStrings(NoticeButtons buttons);

// Title and message joined for one-line output ("Title: message").
std::string noticeText(std::uint16_t kind, std::uint16_t detail);

}  // namespace kalix::app
