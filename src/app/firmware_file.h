#pragma once
// The header of a firmware file from the Upgrade folder: which of the
// recorder's modules it is for and the version stamp it carries.
//
// The first 256 bytes of the file are read and recognised in one of three
// forms:
//   new          "VBoot" at offsets 3 and 67; the module name (32 bytes at
//                offset 32) names one of the recorder's modules, whose
//                position is the module number; stamp: big-endian word at 8
//   old, boot    "VBoot" at offset 3 only; the 10 characters at offset 68
//                name the recorder's first module; stamp from the date text
//                starting at offset 64
//   old, plain   no "VBoot" at offset 3; the 11 characters at offset 4 name
//                the first module; stamp from the date text at offset 0
// A name compares as text: the file's bytes are cut at the given length and
// at their first zero byte. An empty name names nothing.
//
// The date text is "(Mon DD YYYY - hh:mm:ss": month at +1 from the "(", day
// at +5, year at +8, hour at +15, minute at +18, second at +21. The stamp is
// that wall-clock time counted as seconds since 1970 with no zone applied.
//
// The header is input from disk: a short file, a name of no module, a date
// text that runs past the header or names no real time are refusals, never
// a guess.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace kalix::app {

inline constexpr std::size_t kFirmwareHeaderSize = 256;
inline constexpr std::size_t kFirmwareModules = 20;
inline constexpr std::size_t kModuleNameSize = 32;

// One of the recorder's firmware modules from its login answer; its position
// in the list is its module number.
struct RecorderModule {
    std::string name;           // up to 32 characters
    std::uint32_t version = 0;  // the stamp it runs; 0: no such module
};

enum class FirmwareForm : std::uint8_t { New = 1, OldBootMark, OldPlain };

enum class FirmwareRefusal : std::uint8_t {
    Truncated = 1,  // fewer than 256 bytes
    OtherModel,     // the name is empty or names none of the recorder's modules
    NoDateText,     // no "(" in the text, or the date runs past the header
    BadMonth,       // the three letters after "(" are no month
    BadDate,        // a field is not a number or the date and time do not exist
};

std::string_view refusalText(FirmwareRefusal refusal);

struct FirmwareHeader {
    FirmwareForm form = FirmwareForm::New;
    std::uint8_t module = 0;  // module number
    std::uint32_t stamp = 0;
    // What goes into the upgrade request as the name: the module name of a
    // new-form file, the first 15 bytes of an old-form file's text.
    std::array<std::uint8_t, kModuleNameSize> name{};

    friend bool operator==(const FirmwareHeader&, const FirmwareHeader&) = default;
};

using FirmwareCheck = std::variant<FirmwareHeader, FirmwareRefusal>;

// `head` is what the file gave of its first 256 bytes (more is ignored).
FirmwareCheck checkFirmwareHeader(std::span<const std::uint8_t> head, std::span<const RecorderModule> modules);

// The stamp of the date text that starts at `start` of the header: the "("
// is looked for from there up to the header's end, and every field must lie
// inside the header.
std::variant<std::uint32_t, FirmwareRefusal> firmwareDateStamp(std::span<const std::uint8_t> header,
                                                                std::size_t start);

}  // namespace kalix::app
