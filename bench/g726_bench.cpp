// Throughput of the G.726 coder on the talk path's unit of work: one
// 8,192-byte capture buffer (4,096 values) to 1,536 bytes, and back.

#include "media/audio/g726.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdint>

namespace {

using kalix::media::G726Decoder;
using kalix::media::G726Encoder;
using kalix::media::g726PackedBytes;

constexpr std::size_t kCaptureValues = 4096;

std::array<std::int16_t, kCaptureValues> speechLikeBuffer() {
    std::array<std::int16_t, kCaptureValues> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double t = static_cast<double>(i) / 8000.0;
        values[i] = static_cast<std::int16_t>(6000.0 * std::sin(2 * M_PI * 310 * t) +
                                              3000.0 * std::sin(2 * M_PI * 1270 * t) +
                                              1500.0 * std::sin(2 * M_PI * 2630 * t));
    }
    return values;
}

void encodeCaptureBuffer(benchmark::State& state) {
    const auto input = speechLikeBuffer();
    std::array<std::uint8_t, g726PackedBytes(kCaptureValues)> out{};
    G726Encoder encoder;
    for (auto _ : state) {
        benchmark::DoNotOptimize(encoder.encode(input, out));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kCaptureValues));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(sizeof(input)));
}
BENCHMARK(encodeCaptureBuffer);

void decodeCaptureBuffer(benchmark::State& state) {
    const auto input = speechLikeBuffer();
    std::array<std::uint8_t, g726PackedBytes(kCaptureValues)> packed{};
    G726Encoder encoder;
    encoder.encode(input, packed);

    std::array<std::int16_t, kCaptureValues> out{};
    G726Decoder decoder;
    for (auto _ : state) {
        benchmark::DoNotOptimize(decoder.decode(packed, out));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kCaptureValues));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(sizeof(packed)));
}
BENCHMARK(decodeCaptureBuffer);

}  // namespace

BENCHMARK_MAIN();
