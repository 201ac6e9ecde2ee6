// Seek in a full-size archive pair: the time from a target time to the
// frame header the player reads next (block found, seek entry estimated and
// walked, unit header read), over random targets, with the pair's pages
// dropped from the cache before every seek (cold) and kept (warm).
//
// Usage: bench_archive_seek [FOLDER] [SEEKS]
// FOLDER (default: a new folder under /var/tmp) must be on a disk, not in
// memory, for the cold figures to mean anything. The pair is written there
// first (650 MiB: four channels at 25 frames a second, a new block every
// five minutes, a one-second gap now and then) and removed afterwards.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "archive/archive_writer.h"
#include "protocol/byte_order.h"

namespace {

using namespace kalix::archive;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kStart = 1'700'000'000;

std::vector<std::uint8_t> videoUnit(std::uint32_t time, std::uint32_t key, std::uint8_t channel,
                                    std::uint32_t payload) {
    std::vector<std::uint8_t> u(kVideoHeaderSize + payload, 0x5A);
    std::fill(u.begin(), u.begin() + kVideoHeaderSize, std::uint8_t{0});
    kalix::protocol::putBe32(u.data() + 16, kVideoUnitMagic);
    kalix::protocol::putBe32(u.data() + 24, time);
    kalix::protocol::putBe32(u.data() + 28, payload);
    kalix::protocol::putBe32(u.data() + 40, key);
    u[132] = 576 / 16;
    u[133] = 704 / 16;
    u[164] = channel;
    return u;
}

PairStats writePair(const std::filesystem::path& folder) {
    WriterOptions o;
    o.folder = folder;
    ArchiveWriter w(o);
    if (!w.open()) {
        std::fprintf(stderr, "cannot create a pair in %s\n", folder.c_str());
        std::exit(1);
    }
    std::mt19937 rng(7);
    std::uint32_t t = kStart;
    while (w.isOpen() && w.closedPairs().empty()) {
        if (rng() % 97 == 0) ++t;  // a gap in the recording
        const std::uint32_t key = (t - kStart) / 300 + 1;
        for (int frame = 0; frame < 25 && w.closedPairs().empty(); ++frame)
            for (std::uint8_t ch = 0; ch < 4 && w.closedPairs().empty(); ++ch) {
                const auto payload = static_cast<std::uint32_t>(frame == 0 ? 40000 : 4000 + rng() % 4000);
                if (w.appendVideo(videoUnit(t, key, ch, payload)) == UnitResult::Failed) {
                    std::fprintf(stderr, "write failed: %s\n", w.error()->text.c_str());
                    std::exit(1);
                }
            }
        ++t;
    }
    // The split opened an empty second pair; close it and forget it.
    const auto first = w.closedPairs().front();
    const auto second = w.close();
    if (second) {
        std::filesystem::remove(second->idx_path);
        std::filesystem::remove(second->vid_path);
    }
    return first;
}

void dropFromCache(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

struct Figures {
    double median_ms = 0;
    double max_ms = 0;
    double mean_ms = 0;
};

Figures summarise(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    Figures f;
    f.median_ms = ms[ms.size() / 2];
    f.max_ms = ms.back();
    for (double v : ms) f.mean_ms += v;
    f.mean_ms /= static_cast<double>(ms.size());
    return f;
}

// One seek as the player makes it: the block of the target, the entry for
// it, the frame header there.
bool seek(ArchivePair& pair, std::uint32_t target) {
    const auto& blocks = pair.blocks();
    std::uint32_t b = 0;
    while (b + 1 < blocks.size() && blocks[b].end_time < target) ++b;
    const auto hit = pair.estimateSeek(b, target);
    if (!hit) return false;
    const auto unit = pair.readUnit(hit->entry.video_offset);
    return unit.unit && unit.unit->time >= std::min(target, blocks[b].end_time);
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path folder;
    bool made_folder = false;
    if (argc > 1) {
        folder = argv[1];
    } else {
        std::string pattern = "/var/tmp/kalix-seek-XXXXXX";
        folder = ::mkdtemp(pattern.data());
        made_folder = true;
    }
    const int seeks = argc > 2 ? std::atoi(argv[2]) : 1000;

    const auto write_start = Clock::now();
    const PairStats stats = writePair(folder);
    const double write_s = std::chrono::duration<double>(Clock::now() - write_start).count();
    ArchivePair pair;
    if (!pair.open(stats.idx_path)) {
        std::fprintf(stderr, "the pair does not open: %s\n", pair.failure().c_str());
        return 1;
    }
    std::printf("pair: %s, .vid %.1f MiB, %llu seek entries, %u blocks, %llu frames, written in %.1f s\n",
                stats.idx_path.filename().c_str(),
                static_cast<double>(std::filesystem::file_size(stats.vid_path)) / 1048576.0,
                static_cast<unsigned long long>(pair.seekCount()), pair.summary().block_count,
                static_cast<unsigned long long>(stats.video_units), write_s);

    std::mt19937 rng(11);
    std::uniform_int_distribution<std::uint32_t> when(pair.summary().first_time, pair.summary().last_time);
    int failures = 0;
    for (const bool cold : {true, false}) {
        std::vector<double> ms;
        for (int i = 0; i < seeks; ++i) {
            const std::uint32_t target = when(rng);
            if (cold) {
                dropFromCache(stats.idx_path);
                dropFromCache(stats.vid_path);
            }
            const auto start = Clock::now();
            if (!seek(pair, target)) ++failures;
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        const auto f = summarise(ms);
        std::printf("%s cache: %d seeks, median %.3f ms, mean %.3f ms, max %.3f ms\n", cold ? "cold" : "warm", seeks,
                    f.median_ms, f.mean_ms, f.max_ms);
    }
    std::filesystem::remove(stats.idx_path);
    std::filesystem::remove(stats.vid_path);
    if (made_folder) std::filesystem::remove_all(folder);
    if (failures) std::printf("%d seeks did not land on a frame\n", failures);
    return failures ? 1 : 0;
}
