#include "player/player_commands.h"

namespace kalix::player {

bool isBackwardState(Command state) {
    return state == Command::StepBackward || state == Command::Backward || state == Command::SlowBackward;
}

bool isPlayingState(Command state) {
    return state == Command::Backward || state == Command::Forward || state == Command::SlowBackward ||
           state == Command::SlowForward;
}

CommandEffect applyCommand(Command command, Command& state, int& speed) {
    CommandEffect effect;
    const Command before = state;
    switch (command) {
    case Command::StepBackward:
    case Command::StepForward: effect.stop_audio = true; break;
    case Command::Backward:
        if (speed >= 0 || speed < -5) {
            speed = -2;
            effect.restart_timing = true;
        } else {
            --speed;
        }
        break;
    case Command::Forward:
        if (speed <= 0 || speed > 5) {
            speed = 1;
        } else {
            ++speed;
            effect.stop_audio = true;
        }
        effect.restart_timing = true;
        break;
    case Command::Pause:
        if (before == Command::Backward || before == Command::SlowBackward) {
            speed = 0;
            effect.restart_timing = true;
        } else if (before == Command::Forward || before == Command::SlowForward) {
            effect.restart_timing = speed >= 2 && speed <= 6;
            speed = 7;
        }
        break;
    case Command::SlowBackward:
        speed = 10;
        effect.restart_timing = true;
        break;
    case Command::SlowForward:
        speed = 11;
        effect.restart_timing = true;
        break;
    case Command::None: return effect;
    }
    state = command;
    return effect;
}

int displayedSpeed(Command state, int speed) {
    if (state == Command::SlowBackward) return 10;
    if (state == Command::SlowForward) return 11;
    if (speed >= 1 && speed <= 6) return speed;
    if (speed < 0) return speed + 1;
    return 0;
}

int pacingShift(Command state, int speed) {
    if (state == Command::SlowBackward || state == Command::SlowForward) return -1;
    switch (speed < 0 ? -speed : speed) {
    case 2: return 1;
    case 3: return 2;
    case 4: return 4;
    case 5: return 6;
    case 6: return 8;
    default: return 0;
    }
}

Selection selectionFor(Command state, int speed) {
    if (state == Command::SlowForward) return {true, 1};
    if (state == Command::SlowBackward) return {false, 1};
    if (state == Command::Forward) {
        if (speed == 1 || speed == 7) return {true, 1};
        if (speed >= 3 && speed <= 6) return {false, static_cast<unsigned>(speed - 1)};
        return {false, 1};
    }
    if (speed <= -3 && speed >= -6) return {false, static_cast<unsigned>(-speed - 1)};
    return {false, 1};
}

}  // namespace kalix::player
