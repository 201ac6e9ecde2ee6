#pragma once
// The local player's commands and speeds, without the thread: what each
// command does to the player state and the speed value, how fast the frame
// times run against the clock, and which units a speed shows.
//
// Player states are the command numbers: 1 step backward, 2 backward,
// 3 forward, 4 paused, 7 step forward, 10 slow backward, 11 slow forward.
// The speed value is 1 … 6 forwards, −2 … −6 backwards, 7 after a pause
// from fast forward, 10 / 11 in the slow states, 0 otherwise.

#include <cstdint>

namespace kalix::player {

enum class Command : std::uint8_t {
    None = 0,
    StepBackward = 1,
    Backward = 2,
    Forward = 3,
    Pause = 4,
    StepForward = 7,
    SlowBackward = 10,
    SlowForward = 11,
};

bool isBackwardState(Command state);  // 1, 2, 10
bool isPlayingState(Command state);   // 2, 3, 10, 11

struct CommandEffect {
    bool restart_timing = false;
    bool stop_audio = false;
};

// Applies a command to (state, speed) as the playback bar does.
CommandEffect applyCommand(Command command, Command& state, int& speed);

// The speed the operator sees: 10 / 11 in the slow states, 1 … 6 forwards,
// −1 … −5 backwards, 0 otherwise.
int displayedSpeed(Command state, int speed);

// How far a frame time difference is shifted right before it becomes a
// wait: factors 1, 2, 4, 16, 64, 256. Slow states use −1 (a doubling).
int pacingShift(Command state, int speed);

// Which units a playing state shows: every unit (audio included) or every
// n-th key frame of each channel.
struct Selection {
    bool all_units = false;
    unsigned key_stride = 1;  // with all_units false
};
Selection selectionFor(Command state, int speed);

}  // namespace kalix::player
