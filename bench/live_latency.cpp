// Live view under load, in one process: the simulated recorder streams
// CHANNELS channels of WxH at FPS for SECONDS; the real session decodes them
// into a wall. Reports pictures sent and decoded and the time from the
// recorder building a unit to its picture standing in the wall's buffer.
//
//   bench_live_latency [SECONDS=60] [CHANNELS=16] [W=704] [H=576] [FPS=25] [CLIP.264]
//
// With a clip (Baseline, as kalix-sim --clip takes it) every channel sends
// the recorded clip at its own size instead of the camera picture.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "recorder_sim.h"
#include "session/dvr_session.h"
#include "session/queued_event_sink.h"

using namespace kalix;
using namespace std::chrono_literals;

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int channels = argc > 2 ? std::atoi(argv[2]) : 16;
    const int width = argc > 3 ? std::atoi(argv[3]) : 704;
    const int height = argc > 4 ? std::atoi(argv[4]) : 576;
    const int fps = argc > 5 ? std::atoi(argv[5]) : 25;

    const std::string traffic = "/tmp/kalix-live-latency-" + std::to_string(::getpid()) + ".jsonl";
    sim::SimConfig config;
    config.channel_num = static_cast<std::uint8_t>(channels);
    config.video.enabled = true;
    for (auto& s : config.video.sizes) s = {static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height)};
    config.video.frames_per_second.fill(static_cast<std::uint8_t>(fps));
    config.traffic_path = traffic;
    if (argc > 6) {
        std::string error;
        auto clip = sim::loadClip(argv[6], error);
        if (!clip) {
            std::fprintf(stderr, "%s: %s\n", argv[6], error.c_str());
            return 1;
        }
        config.video.clip = std::make_shared<const std::vector<sim::ClipPicture>>(std::move(*clip));
    }
    sim::RecorderSim recorder(config);
    if (!recorder.start()) {
        std::fprintf(stderr, "simulator did not start\n");
        return 1;
    }

    media::VideoWall wall;
    wall.initialise(16);
    wall.pictures().setYuvAvailable(true);
    wall.pictures().setDrawPath(media::DrawPath::Yuv);
    std::mutex mutex;
    std::vector<double> latency_ms;
    latency_ms.reserve(static_cast<std::size_t>(seconds * channels * fps + 1000));

    session::SessionOptions o;
    o.address = "127.0.0.1";
    o.port = recorder.port();
    o.user = "admin";
    o.password = "1234";
    o.live_video.wall = &wall;
    o.live_video.picture_decoded = [&](const media::DecodedPicture& p) {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        const double sent_us = static_cast<double>(p.info->seconds) * 1e6 + p.info->microseconds;
        const double now_us = static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
        std::lock_guard lock(mutex);
        latency_ms.push_back((now_us - sent_us) / 1000.0);
    };
    session::QueuedEventSink sink;
    session::DvrSession dvr(o, sink);
    dvr.connect();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    dvr.close();
    recorder.stop();

    std::uint64_t sent = 0;
    std::ifstream log(traffic);
    const std::regex units(R"((\d+) units sent)");
    for (std::string line; std::getline(log, line);) {
        std::smatch m;
        if (std::regex_search(line, m, units)) sent += std::stoull(m[1]);
    }
    std::remove(traffic.c_str());

    std::lock_guard lock(mutex);
    std::sort(latency_ms.begin(), latency_ms.end());
    auto at = [&](double q) {
        return latency_ms.empty() ? 0.0 : latency_ms[static_cast<std::size_t>(q * static_cast<double>(latency_ms.size() - 1))];
    };
    std::printf("channels %d, %dx%d at %d fps, %d s\n", channels, width, height, fps, seconds);
    std::printf("units sent %llu, pictures decoded %zu\n", static_cast<unsigned long long>(sent), latency_ms.size());
    std::printf("send to wall buffer: median %.2f ms, p99 %.2f ms, max %.2f ms\n", at(0.5), at(0.99), at(1.0));
    return 0;
}
