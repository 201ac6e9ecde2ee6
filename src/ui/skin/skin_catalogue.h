#pragma once
// The skin pictures of the resource bundle, by number: what each picture is
// for, its size and how it looks. The bundle generator paints from this list
// and the front end finds its faces here (Qt-free; no drawing code).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kalix::ui {

enum class SkinLook : std::uint8_t {
    TopBar,          // main window bars
    SideBar,
    BottomBar,
    PositionBar,     // track of the position slider
    WallBackground,  // stretched behind the video wall
    Panel,           // dialog and page backgrounds
    Logo,
    Button,          // a button face; `label` is its caption or a #symbol
    Track,           // slider track
    Thumb,           // slider thumb
    CheckBox,
    Icon,            // 16 x 16 status icons; `label` is the #symbol
    Strip,           // timeline bar pieces, stretched horizontally
    Glyph,           // time display characters; `label` is the character
};

// Face states of a button (consecutive numbers: normal, pressed, disabled,
// and for the calendar's buttons a fourth, dimmed "no data" face).
enum class FaceState : std::uint8_t { Normal, Pressed, Disabled, Empty };

struct SkinPicture {
    std::uint16_t id;
    std::uint16_t width;
    std::uint16_t height;
    SkinLook look;
    FaceState state;
    std::string_view label;
};

// Numbers of the pictures the windows use.
namespace skin {
inline constexpr std::uint16_t kTopBar = 1500, kLeftBar = 1501, kRightBar = 1502, kBottomBar = 1503;
inline constexpr std::uint16_t kPositionBar = 1584, kWallBackground = 1595;
inline constexpr std::uint16_t kConnect = 1600, kRSearch = 1603, kRSetup = 1606, kLSearch = 1609,
                               kLSetup = 1612, kPan = 1615, kZoom = 1618, kFirmUp = 1621,
                               kVerInfo = 1624, kMin = 1627, kQuit = 1630, kLogo = 1640;
inline constexpr std::uint16_t kChannelFirst = 1700;  // + 3 * channel (0..15)
inline constexpr std::uint16_t kSplitFirst = 1750;    // + 3 * split button (0..8)
inline constexpr std::uint16_t kFull = 1777, kLive = 1780, kOsd = 1783, kArrange = 1786, kSave = 1789,
                               kLoad = 1792, kAudio = 1795;
inline constexpr std::uint16_t kPlaybackFirst = 1800;  // + 3 * (control - 340)
inline constexpr std::uint16_t kSound = 1830, kSoundMuted = 1833, kSelAudio = 1836, kMike = 1840;
inline constexpr std::uint16_t kPositionThumb = 1850, kVolumeTrack = 1855, kVolumeThumb = 1856;
inline constexpr std::uint16_t kIconAudioSelected = 1900, kIconAudioAvailable = 1901, kIconPtz = 1902,
                               kIconSlow = 1903, kIconFast = 1904, kIconReverse = 1905, kIconPause = 1906,
                               kIconWatermarkOk = 1907, kIconWatermarkBad = 1908;
inline constexpr std::uint16_t kFullScreenBar = 1920;
// The time display: a panel and two glyph sets (+ glyph number, 0-14: the
// digits, AM, PM, colon, blank, dash), the large one for the time, the
// small one for the date.
inline constexpr std::uint16_t kTimePanel = 1859, kTimeGlyphsLarge = 1860, kTimeGlyphsSmall = 1880;
// The event-jump bar: its panel and seven buttons (+ 3 * button).
inline constexpr std::uint16_t kEventJumpPanel = 1924, kEventJumpFirst = 1925;
inline constexpr std::uint16_t kSearchDialog = 1950, kSearchPage = 1951, kTimelinePage = 1952;
inline constexpr std::uint16_t kMonthFaces = 1960, kDayFaces = 1965;  // four faces each
inline constexpr std::uint16_t kRecordKind0 = 1970, kRecordKind1 = 1971;
inline constexpr std::uint16_t kTabSearch = 1980, kTabBackup = 1983, kTabLog = 1986, kTabInfo = 1989;
inline constexpr std::uint16_t kWideButton = 2000, kSmallButton = 2003, kDialog = 2010;
inline constexpr std::uint16_t kCheckBox = 2020;  // unchecked, checked, both disabled
inline constexpr std::uint16_t kSliderTrack = 2030, kSliderThumb = 2031;
// The PTZ windows: the panel (arrows + centre), the preset keypad and the
// dome-menu pad, each a panel picture and face sets (+ 3 * button).
inline constexpr std::uint16_t kPtzPanel = 2040, kPresetPanel = 2041, kDomePad = 2042;
inline constexpr std::uint16_t kPtzArrowFirst = 2050;  // up, down, left, right
inline constexpr std::uint16_t kPtzCentrePan = 2062, kPtzCentreZoom = 2065, kPtzCentreLearning = 2068;
// Preset, Learn, Set, Call, Tour, the digits 0-9, OK, Dome, X.
inline constexpr std::uint16_t kPresetKeyFirst = 2070;
inline constexpr std::uint16_t kDomeSel = 2130, kDomePrev = 2133, kDomeClose = 2136;
}  // namespace skin

namespace detail {

struct FaceSet {
    std::uint16_t first;
    std::uint16_t width, height;
    std::string_view label;
    int faces;  // 3: normal, pressed, disabled; 4: and empty
};

struct Single {
    std::uint16_t id;
    std::uint16_t width, height;
    SkinLook look;
    std::string_view label;
};

// clang-format off
inline constexpr Single kSingles[] = {
    {skin::kTopBar, 928, 67, SkinLook::TopBar, ""},
    {skin::kLeftBar, 54, 594, SkinLook::SideBar, ""},
    {skin::kRightBar, 54, 594, SkinLook::SideBar, ""},
    {skin::kBottomBar, 928, 66, SkinLook::BottomBar, ""},
    {skin::kPositionBar, 427, 14, SkinLook::PositionBar, ""},
    {skin::kWallBackground, 820, 594, SkinLook::WallBackground, ""},
    {skin::kLogo, 160, 40, SkinLook::Logo, "KALIX"},
    {skin::kSoundMuted, 32, 28, SkinLook::Button, "#muted"},
    {skin::kVolumeTrack, 120, 10, SkinLook::Track, ""},
    {skin::kIconAudioSelected, 16, 16, SkinLook::Icon, "#speaker-on"},
    {skin::kIconAudioAvailable, 16, 16, SkinLook::Icon, "#speaker"},
    {skin::kIconPtz, 16, 16, SkinLook::Icon, "#ptz"},
    {skin::kIconSlow, 16, 16, SkinLook::Icon, "#slow"},
    {skin::kIconFast, 16, 16, SkinLook::Icon, "#fast"},
    {skin::kIconReverse, 16, 16, SkinLook::Icon, "#reverse"},
    {skin::kIconPause, 16, 16, SkinLook::Icon, "#pause"},
    {skin::kIconWatermarkOk, 16, 16, SkinLook::Icon, "#mark-ok"},
    {skin::kIconWatermarkBad, 16, 16, SkinLook::Icon, "#mark-bad"},
    {skin::kFullScreenBar, 436, 38, SkinLook::Panel, ""},
    {skin::kTimePanel, 100, 46, SkinLook::Panel, ""},
    {skin::kEventJumpPanel, 246, 36, SkinLook::Panel, ""},
    {1860, 10, 14, SkinLook::Glyph, "0"}, {1861, 10, 14, SkinLook::Glyph, "1"}, {1862, 10, 14, SkinLook::Glyph, "2"},
    {1863, 10, 14, SkinLook::Glyph, "3"}, {1864, 10, 14, SkinLook::Glyph, "4"}, {1865, 10, 14, SkinLook::Glyph, "5"},
    {1866, 10, 14, SkinLook::Glyph, "6"}, {1867, 10, 14, SkinLook::Glyph, "7"}, {1868, 10, 14, SkinLook::Glyph, "8"},
    {1869, 10, 14, SkinLook::Glyph, "9"}, {1870, 12, 14, SkinLook::Glyph, "AM"}, {1871, 12, 14, SkinLook::Glyph, "PM"},
    {1872, 6, 14, SkinLook::Glyph, ":"},  {1873, 10, 14, SkinLook::Glyph, " "},  {1874, 10, 14, SkinLook::Glyph, "-"},
    {1880, 6, 9, SkinLook::Glyph, "0"},   {1881, 6, 9, SkinLook::Glyph, "1"},    {1882, 6, 9, SkinLook::Glyph, "2"},
    {1883, 6, 9, SkinLook::Glyph, "3"},   {1884, 6, 9, SkinLook::Glyph, "4"},    {1885, 6, 9, SkinLook::Glyph, "5"},
    {1886, 6, 9, SkinLook::Glyph, "6"},   {1887, 6, 9, SkinLook::Glyph, "7"},    {1888, 6, 9, SkinLook::Glyph, "8"},
    {1889, 6, 9, SkinLook::Glyph, "9"},   {1890, 12, 9, SkinLook::Glyph, "AM"},  {1891, 12, 9, SkinLook::Glyph, "PM"},
    {1892, 6, 9, SkinLook::Glyph, ":"},   {1893, 6, 9, SkinLook::Glyph, " "},    {1894, 6, 9, SkinLook::Glyph, "-"},
    {skin::kSearchDialog, 800, 540, SkinLook::Panel, ""},
    {skin::kSearchPage, 403, 417, SkinLook::Panel, ""},
    {skin::kTimelinePage, 403, 417, SkinLook::Panel, "#timeline"},
    {skin::kRecordKind0, 1, 9, SkinLook::Strip, "#kind0"},
    {skin::kRecordKind1, 1, 9, SkinLook::Strip, "#kind1"},
    {skin::kDialog, 480, 360, SkinLook::Panel, ""},
    {skin::kSliderTrack, 160, 10, SkinLook::Track, ""},
    {skin::kPtzPanel, 147, 171, SkinLook::Panel, ""},
    {skin::kPresetPanel, 320, 200, SkinLook::Panel, ""},
    {skin::kDomePad, 54, 171, SkinLook::Panel, ""},
    {skin::kPtzCentreLearning, 45, 45, SkinLook::Button, "LEARN"},
};

inline constexpr FaceSet kFaceSets[] = {
    {skin::kConnect, 64, 36, "CONNECT", 3},
    {skin::kRSearch, 64, 36, "R.SEARCH", 3},
    {skin::kRSetup, 64, 36, "R.SETUP", 3},
    {skin::kLSearch, 64, 36, "L.SEARCH", 3},
    {skin::kLSetup, 64, 36, "L.SETUP", 3},
    {skin::kPan, 64, 36, "PAN", 3},
    {skin::kZoom, 64, 36, "ZOOM", 3},
    {skin::kFirmUp, 64, 36, "UPGRADE", 3},
    {skin::kVerInfo, 64, 36, "INFO", 3},
    {skin::kMin, 20, 18, "_", 3},
    {skin::kQuit, 20, 18, "X", 3},
    {1700, 44, 30, "1", 3},  {1703, 44, 30, "2", 3},  {1706, 44, 30, "3", 3},  {1709, 44, 30, "4", 3},
    {1712, 44, 30, "5", 3},  {1715, 44, 30, "6", 3},  {1718, 44, 30, "7", 3},  {1721, 44, 30, "8", 3},
    {1724, 44, 30, "9", 3},  {1727, 44, 30, "10", 3}, {1730, 44, 30, "11", 3}, {1733, 44, 30, "12", 3},
    {1736, 44, 30, "13", 3}, {1739, 44, 30, "14", 3}, {1742, 44, 30, "15", 3}, {1745, 44, 30, "16", 3},
    {1750, 44, 30, "#grid1", 3},  {1753, 44, 30, "#grid4", 3},  {1756, 44, 30, "#grid6", 3},
    {1759, 44, 30, "#grid7", 3},  {1762, 44, 30, "#grid8", 3},  {1765, 44, 30, "#grid9", 3},
    {1768, 44, 30, "#grid10", 3}, {1771, 44, 30, "#grid13", 3}, {1774, 44, 30, "#grid16", 3},
    {skin::kFull, 44, 30, "FULL", 3},
    {skin::kLive, 44, 30, "LIVE", 3},
    {skin::kOsd, 44, 30, "OSD", 3},
    {skin::kArrange, 44, 30, "ORDER", 3},
    {skin::kSave, 44, 30, "SAVE", 3},
    {skin::kLoad, 44, 30, "LOAD", 3},
    {skin::kAudio, 44, 30, "AUDIO", 3},
    {1800, 32, 28, "#step-back", 3}, {1803, 32, 28, "#reverse", 3}, {1806, 32, 28, "#play", 3},
    {1809, 32, 28, "#pause", 3},     {1812, 32, 28, "#record", 3},  {1815, 32, 28, "#stop", 3},
    {1818, 32, 28, "#step-forward", 3},
    {skin::kSound, 32, 28, "#speaker", 3},
    {skin::kSelAudio, 32, 28, "#next-audio", 3},
    {skin::kMike, 32, 28, "#mic", 3},
    {skin::kPositionThumb, 10, 14, "", 3},
    {skin::kVolumeThumb, 10, 14, "", 3},
    {1925, 32, 28, "SL-B", 3}, {1928, 32, 28, "SL-F", 3},  {1931, 32, 28, "MARK", 3}, {1934, 32, 28, "BKMK", 3},
    {1937, 32, 28, "LIST", 3}, {1940, 32, 28, "PREV", 3}, {1943, 32, 28, "NEXT", 3},
    {skin::kMonthFaces, 64, 24, "", 4},
    {skin::kDayFaces, 52, 25, "", 4},
    {skin::kTabSearch, 96, 26, "SEARCH", 3},
    {skin::kTabBackup, 96, 26, "BACKUP", 3},
    {skin::kTabLog, 96, 26, "LOG", 3},
    {skin::kTabInfo, 96, 26, "INFO", 3},
    {skin::kWideButton, 97, 22, "", 3},
    {skin::kSmallButton, 64, 22, "", 3},
    {skin::kCheckBox, 14, 14, "", 2},  // unchecked, checked
    {skin::kCheckBox + 2, 14, 14, "", 2},  // disabled: unchecked, checked
    {skin::kSliderThumb, 10, 14, "", 3},
    {2050, 45, 45, "#up", 3}, {2053, 45, 45, "#down", 3}, {2056, 45, 45, "#left", 3}, {2059, 45, 45, "#right", 3},
    {skin::kPtzCentrePan, 45, 45, "PRESET", 3},
    {skin::kPtzCentreZoom, 45, 45, "PRESET", 3},
    {2070, 58, 28, "PRESET", 3}, {2073, 58, 28, "LEARN", 3}, {2076, 58, 28, "SET", 3},
    {2079, 58, 28, "CALL", 3},   {2082, 58, 28, "TOUR", 3},
    {2085, 58, 30, "0", 3}, {2088, 58, 30, "1", 3}, {2091, 58, 30, "2", 3}, {2094, 58, 30, "3", 3},
    {2097, 58, 30, "4", 3}, {2100, 58, 30, "5", 3}, {2103, 58, 30, "6", 3}, {2106, 58, 30, "7", 3},
    {2109, 58, 30, "8", 3}, {2112, 58, 30, "9", 3},
    {2115, 120, 28, "OK", 3}, {2118, 120, 28, "DOME", 3}, {2121, 24, 22, "X", 3},
    {skin::kDomeSel, 46, 40, "SEL", 3}, {skin::kDomePrev, 46, 40, "PREV", 3}, {skin::kDomeClose, 46, 40, "X", 3},
};
// clang-format on

constexpr std::size_t pictureCount() {
    std::size_t n = std::size(kSingles);
    for (const FaceSet& f : kFaceSets) n += static_cast<std::size_t>(f.faces);
    return n;
}

constexpr SkinLook faceLook(const FaceSet& f) {
    if (f.first == skin::kPositionThumb || f.first == skin::kVolumeThumb || f.first == skin::kSliderThumb)
        return SkinLook::Thumb;
    if (f.first == skin::kCheckBox || f.first == skin::kCheckBox + 2) return SkinLook::CheckBox;
    return SkinLook::Button;
}

constexpr auto buildCatalogue() {
    std::array<SkinPicture, pictureCount()> out{};
    std::size_t n = 0;
    for (const Single& s : kSingles) out[n++] = {s.id, s.width, s.height, s.look, FaceState::Normal, s.label};
    for (const FaceSet& f : kFaceSets) {
        for (int i = 0; i < f.faces; ++i) {
            FaceState state = static_cast<FaceState>(i);
            if (faceLook(f) == SkinLook::CheckBox)  // checked faces use the pressed state
                state = i == 0 ? FaceState::Normal : FaceState::Pressed;
            if (f.first == skin::kCheckBox + 2) state = i == 0 ? FaceState::Disabled : FaceState::Empty;
            out[n++] = {static_cast<std::uint16_t>(f.first + i), f.width, f.height, faceLook(f), state, f.label};
        }
    }
    // Sorted by number so that lookups can search.
    for (std::size_t i = 1; i < out.size(); ++i)
        for (std::size_t j = i; j > 0 && out[j - 1].id > out[j].id; --j) {
            const SkinPicture t = out[j];
            out[j] = out[j - 1];
            out[j - 1] = t;
        }
    return out;
}

inline constexpr auto kCatalogue = buildCatalogue();

}  // namespace detail

// Every skin picture of the bundle, sorted by number.
constexpr std::span<const SkinPicture> skinCatalogue() { return detail::kCatalogue; }

// The entry of a number, or nullptr when the skin has no such picture.
constexpr const SkinPicture* findSkinPicture(int id) {
    for (const SkinPicture& p : detail::kCatalogue)
        if (p.id == id) return &p;
    return nullptr;
}

}  // namespace kalix::ui
