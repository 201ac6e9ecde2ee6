// MP4 export of one hour of one channel: writes an archive pair of 25
// pictures a second for an hour (a key frame each second, recorder-like
// sizes), then times the whole export (catalogue, reading, remuxing,
// writing) several times.
//
//   bench_mp4_export [FOLDER] [RUNS]
//
// FOLDER (default /tmp/kalix-export-bench) is filled and removed again.

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "archive/mp4_export.h"
#include "protocol/byte_order.h"

namespace {

using namespace kalix;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Processor time of this process (all threads), in seconds: on a shared
// machine the wall time also counts the time other processes ran.
double cpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

constexpr std::uint32_t kStart = 1'700'000'000;
constexpr int kSeconds = 3600;
constexpr int kFps = 25;
constexpr std::size_t kKeyBytes = 30'000;
constexpr std::size_t kPredictedBytes = 4'000;

// Slice bytes look random: a scan for start codes meets a 1 every 256 bytes.
const std::vector<std::uint8_t>& noise() {
    static const std::vector<std::uint8_t> bytes = [] {
        std::vector<std::uint8_t> b(kKeyBytes);
        std::uint32_t x = 12345;
        for (auto& v : b) {
            x = x * 1103515245u + 12345u;
            v = static_cast<std::uint8_t>(x >> 16);
        }
        return b;
    }();
    return bytes;
}

std::vector<std::uint8_t> unit(std::uint32_t second, int frame, bool key) {
    const std::size_t payload = key ? kKeyBytes : kPredictedBytes;
    std::vector<std::uint8_t> u(archive::kVideoHeaderSize + payload, 0);
    std::copy_n(noise().begin(), payload, u.begin() + archive::kVideoHeaderSize);
    protocol::putBe32(u.data() + 16, archive::kVideoUnitMagic);
    protocol::putBe32(u.data() + 24, second);
    protocol::putBe32(u.data() + 28, static_cast<std::uint32_t>(payload));
    protocol::putBe32(u.data() + 40, 1);
    u[130] = key ? 0 : 0x40;  // frame kind in bits 6-7
    u[132] = 576 / 16;
    u[133] = 704 / 16;
    protocol::putLe32(u.data() + 148, second);
    protocol::putLe32(u.data() + 152, static_cast<std::uint32_t>(frame * 40'000));
    u[164] = 0;
    std::uint8_t* p = u.data() + archive::kVideoHeaderSize;
    p[0] = 0;
    p[1] = 0;
    p[2] = 0;
    p[3] = 1;
    p[4] = key ? 0x65 : 0x41;
    return u;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::path("/tmp/kalix-export-bench");
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    fs::remove_all(folder);
    const auto made = Clock::now();
    {
        archive::ArchiveWriter writer(archive::WriterOptions{folder / "Download", 3, archive::kDefaultSplitBytes,
                                                             [] { return kStart; }, {}});
        if (!writer.open()) return 1;
        for (int s = 0; s < kSeconds; ++s)
            for (int f = 0; f < kFps; ++f)
                if (writer.appendVideo(unit(kStart + static_cast<std::uint32_t>(s), f, f == 0)) !=
                    archive::UnitResult::Stored)
                    return 1;
        writer.close();
    }
    std::uint64_t archive_bytes = 0;
    for (const auto& e : fs::directory_iterator(folder / "Download")) archive_bytes += e.file_size();
    std::printf("archive: %d s of 704x576 at %d fps, %.1f MiB, written in %.1f s\n", kSeconds, kFps,
                static_cast<double>(archive_bytes) / (1 << 20),
                std::chrono::duration<double>(Clock::now() - made).count());

    std::vector<double> times;
    std::vector<double> cpu;
    for (int r = 0; r < runs; ++r) {
        const fs::path out = folder / "ch01.mp4";
        const auto t0 = Clock::now();
        const double c0 = cpuSeconds();
        const archive::LocalCatalogue catalogue =
            archive::buildLocalCatalogue(folder / "Download", archive::CatalogueRequest{std::nullopt, false});
        const archive::ExportResult result = archive::exportMp4(catalogue, {0, std::nullopt, std::nullopt, out});
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        const double cpu_seconds = cpuSeconds() - c0;
        if (!result.ok()) {
            std::fprintf(stderr, "export failed: %s\n", result.reason.c_str());
            return 1;
        }
        times.push_back(seconds);
        cpu.push_back(cpu_seconds);
        std::printf("run %d: %llu pictures, %.1f MiB MP4 in %.2f s (processor time %.2f s)\n", r + 1,
                    static_cast<unsigned long long>(result.frames),
                    static_cast<double>(fs::file_size(out)) / (1 << 20), seconds, cpu_seconds);
        fs::remove(out);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("export of one hour of one channel: median %.2f s, best %.2f s, worst %.2f s (target < 5 s); "
                "processor time median %.2f s\n",
                times[times.size() / 2], times.front(), times.back(), cpu[cpu.size() / 2]);
    fs::remove_all(folder);
    return 0;
}
