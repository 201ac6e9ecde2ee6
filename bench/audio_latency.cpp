// Live audio through the audio player and SDL's disk driver (real time):
// blocks arrive every 8 ms as the recorder sends them; after a stretch of
// silence a tone starts. Measures the time from the tone's first block
// arriving to its first sample being taken by the sound device, the CPU
// spent per second of sound, and the stream's resets: underruns (the
// device caught up with the writer) apart from resynchronisations of a
// writer running ahead.
//
//   bench_audio_latency [AUDIO_BUF=2] [SECONDS=20]

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "media/audio/audio_block_queue.h"
#include "media/audio/audio_player.h"
#include "media/audio/g726.h"
#include "media/audio/sdl_sound_output.h"

using namespace kalix;
using Clock = std::chrono::steady_clock;

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const int audio_buf = argc > 1 ? std::atoi(argv[1]) : 2;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
    const auto file = std::filesystem::temp_directory_path() / ("kalix-audio-bench-" + std::to_string(::getpid()) + ".raw");
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);

    media::AudioBlockQueue queue;
    auto player = media::AudioPlayer::create(queue, static_cast<std::uint8_t>(audio_buf), media::makeSdlSoundOutput());
    if (!player) {
        std::fprintf(stderr, "no sound output\n");
        return 1;
    }

    // The device's progress: how many bytes it has taken, and when.
    std::mutex mutex;
    std::vector<std::pair<Clock::time_point, std::uintmax_t>> progress;
    std::jthread sampler([&](std::stop_token stop) {
        while (!stop.stop_requested()) {
            std::error_code ec;
            const auto size = std::filesystem::file_size(file, ec);
            {
                std::lock_guard lock(mutex);
                progress.emplace_back(Clock::now(), ec ? 0 : size);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });

    // Silence for the first half, then a tone: one 48-byte block every 8 ms.
    media::G726Encoder encoder;
    const int blocks = seconds * 125;
    const int tone_from = blocks / 2;
    Clock::time_point tone_arrived{};
    const double cpu_start = cpuSeconds();
    auto due = Clock::now();
    for (int b = 0; b < blocks; ++b) {
        std::array<std::int16_t, 128> values{};
        if (b >= tone_from)
            for (std::size_t i = 0; i < values.size(); ++i)
                values[i] = static_cast<std::int16_t>(12000.0 * std::sin(static_cast<double>(b * 64 + static_cast<int>(i / 2)) * 0.3));
        media::AudioBlock block{};
        encoder.encode(values, block);
        std::this_thread::sleep_until(due);
        if (b == tone_from) tone_arrived = Clock::now();
        queue.push(block);
        due += std::chrono::milliseconds(8);
    }
    // The counts while blocks were arriving: once they stop, the stream
    // runs dry by design and that last underrun is not the device's.
    const auto snapshot = player->stream().snapshot();
    std::this_thread::sleep_for(std::chrono::milliseconds(3000 + 8 * static_cast<int>(media::audioBatchBlocks(static_cast<std::uint8_t>(audio_buf)))));
    const double cpu = cpuSeconds() - cpu_start;
    const auto resets = snapshot.resets;
    const auto underruns = snapshot.underruns;
    player->stop(media::PlayerStop::Immediate);
    sampler.request_stop();
    sampler.join();

    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    std::filesystem::remove(file);
    std::uintmax_t tone_at = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto v = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[i]) | (static_cast<std::uint8_t>(bytes[i + 1]) << 8));
        if (std::abs(v) > 2000) {
            tone_at = i;
            break;
        }
    }
    Clock::time_point taken{};
    for (const auto& [t, size] : progress)
        if (size > tone_at) {
            taken = t;
            break;
        }
    // The device's own rate over the run, against the 32,000 bytes a second
    // the blocks arrive at: a difference adds up to resets.
    double device_rate = 0;
    {
        std::size_t first = 0;
        while (first < progress.size() && progress[first].second == 0) ++first;
        if (first + 1 < progress.size()) {
            const auto& a = progress[first];
            const auto& b = progress.back();
            device_rate = static_cast<double>(b.second - a.second) /
                          std::chrono::duration<double>(b.first - a.first).count();
        }
    }
    const double latency_ms = std::chrono::duration<double, std::milli>(taken - tone_arrived).count();
    const std::size_t n = media::audioBatchBlocks(static_cast<std::uint8_t>(audio_buf));
    std::printf("AudioBuf %d: batch %zu blocks = %zu ms of sound\n", audio_buf, n, n * 8);
    std::printf("tone block arrival to first tone sample taken by the device: %.0f ms\n", latency_ms);
    std::printf("expected from the batch: between %zu and %zu ms (the tone block's place in its batch) plus the ring's lead\n",
                std::size_t{8}, n * 8);
    std::printf("device rate %.1f bytes/s (blocks arrive at 32000)\n", device_rate);
    std::printf("CPU %.4f s per second of sound\n", cpu / (blocks * 0.008));
    std::printf("over %d s: %llu underruns (the device caught up with the writer), "
                "%llu resets in all (the others: the writer more than a block ahead)\n",
                seconds, static_cast<unsigned long long>(underruns),
                static_cast<unsigned long long>(resets));
    return 0;
}
