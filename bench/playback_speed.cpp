// Remote playback at the simulator's highest speed, in one process: the
// simulated recorder plays CHANNELS channels of its recordings at SPEED
// (1-6, or 0 for no speed: as fast as the credits allow) for SECONDS; the
// real session decodes them into a wall on the YUV or the RGB path.
// Reports frames received, pictures shown, and what the decoders passed
// over (the backlog rule: a decoder that falls behind waits for the next
// key picture).
//
//   bench_playback_speed [SECONDS=20] [CHANNELS=16] [SPEED=6] [yuv|rgb] [CLIP.264]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "session/dvr_session.h"
#include "session/queued_event_sink.h"
#include "recorder_sim.h"

using namespace kalix;
using namespace std::chrono_literals;

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const int channels = argc > 2 ? std::atoi(argv[2]) : 16;
    const int speed = argc > 3 ? std::atoi(argv[3]) : 6;
    const std::string path = argc > 4 ? argv[4] : "yuv";

    sim::SimConfig config;
    config.channel_num = static_cast<std::uint8_t>(channels);
    config.video.enabled = true;
    config.recordings.start_speed = static_cast<std::uint8_t>(speed);
    // The demo schedule around a fixed "now": every channel recorded from
    // 08:00 to 12:00 three days before.
    const sim::RecorderSeconds now = 1'700'000'000;
    config.recordings.now = now;
    if (argc > 5) {
        std::string error;
        auto clip = sim::loadClip(argv[5], error);
        if (!clip) {
            std::fprintf(stderr, "%s: %s\n", argv[5], error.c_str());
            return 1;
        }
        config.video.clip = std::make_shared<const std::vector<sim::ClipPicture>>(std::move(*clip));
    } else {
        for (auto& s : config.video.sizes) s = {704, 576};
    }
    sim::RecorderSim recorder(config);
    if (!recorder.start()) {
        std::fprintf(stderr, "simulator did not start\n");
        return 1;
    }

    media::VideoWall wall;
    wall.initialise(16);
    wall.pictures().setYuvAvailable(true);
    wall.pictures().setDrawPath(path == "rgb" ? media::DrawPath::Rgb : media::DrawPath::Yuv);

    session::SessionOptions o;
    o.address = "127.0.0.1";
    o.port = recorder.port();
    o.user = "admin";
    o.password = "1234";
    o.live_video.wall = &wall;
    session::QueuedEventSink sink;
    session::DvrSession dvr(o, sink);
    dvr.connect();
    for (int i = 0; i < 500 && !dvr.loggedIn(); ++i) std::this_thread::sleep_for(10ms);
    // 09:00 three days before "now", inside the morning's recordings.
    const sim::RecorderSeconds day = now - now % 86400 - 3 * 86400;
    const std::uint32_t mask = channels >= 16 ? 0xFFFFu : (1u << channels) - 1;
    dvr.playStart(session::PlayStart{mask, 0x3F, day + 9 * 3600});
    for (int i = 0; i < 500 && !dvr.playbackOn(); ++i) std::this_thread::sleep_for(10ms);
    if (!dvr.playbackOn()) {
        std::fprintf(stderr, "playback did not start\n");
        return 1;
    }
    const auto begin = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const std::uint64_t received = dvr.playback().framesReceived();
    const auto shown = dvr.picturesShown();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::uint64_t total_shown = 0;
    for (auto n : shown) total_shown += n;
    dvr.close();
    recorder.stop();

    std::printf("remote playback, %d channels, speed %d, %s path, %.1f s\n", channels, speed, path.c_str(), elapsed);
    std::printf("frames received %llu (%.0f/s), pictures shown %llu (%.0f/s), shown/received %.3f\n",
                static_cast<unsigned long long>(received), static_cast<double>(received) / elapsed,
                static_cast<unsigned long long>(total_shown), static_cast<double>(total_shown) / elapsed,
                received ? static_cast<double>(total_shown) / static_cast<double>(received) : 0.0);
    return 0;
}
