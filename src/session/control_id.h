#pragma once
// The main window's control numbers. The session redraws a few of them
// (ControlState); the main window knows them all.

#include <cstdint>

namespace kalix::session {

// Control numbers of the main window.
enum class ControlId : std::uint16_t {
    Channel1 = 300,  // .. 315
    Split1 = 320,    // .. 328
    Full = 329,
    Play1 = 340,     // .. 346 (343 freeze in live view, 344 record)
    Freeze = 343,
    Record = 344,
    Pan = 355,
    Zoom = 356,
    Connect = 360,
    RSearch = 361,
    RSetup = 362,
    LSearch = 363,
    LSetup = 364,
    Quit = 365,
    Sound = 366,
    SelAudio = 368,
    Live = 369,
    Osd = 370,
    Arrange = 371,
    Save = 372,
    Load = 373,
    FirmUp = 374,
    VerInfo = 375,
    Mike = 376,
    Min = 377,
    Audio = 378,
    PositionSlider = 420,
    VolumeSlider = 421,
};

}  // namespace kalix::session
