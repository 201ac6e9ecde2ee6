#include "player/play_catalogue.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "archive/archive_reader.h"

namespace kalix::player {
namespace {

constexpr std::size_t kMaxListed = 100'000;

struct Listed {
    std::filesystem::path idx;
    archive::ArchivePair pair;
    bool join_previous = false;
    bool join_next = false;
};

bool hasOurSignature(const std::filesystem::path& idx) {
    std::array<char, 16> head{};
    std::ifstream in(idx, std::ios::binary);
    if (!in.read(head.data(), head.size())) return false;
    return std::string_view(head.data(), archive::kSignatureCompared) == archive::kSignatureKind3;
}

}  // namespace

PlayCatalogue buildPlayCatalogue(const std::filesystem::path& path, protocol::RecorderTime t) {
    PlayCatalogue result;
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        for (std::filesystem::directory_iterator it(path, ec), end; !ec && it != end && files.size() < kMaxListed;
             it.increment(ec))
            if (it->path().extension() == ".idx") files.push_back(it->path());
        std::sort(files.begin(), files.end());
    } else {
        files.push_back(path);
    }

    std::vector<Listed> listed;
    for (const auto& f : files) {
        if (!hasOurSignature(f)) {
            result.skipped.push_back({f.string(), "not an archive index"});
            continue;
        }
        Listed l;
        l.idx = f;
        if (!l.pair.open(f)) {
            result.skipped.push_back({f.string(), l.pair.failure()});
            continue;
        }
        listed.push_back(std::move(l));
    }
    std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
        return a.pair.summary().first_time < b.pair.summary().first_time;
    });
    // Pairs split for size stay next to each other.
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::uint32_t s = listed[i].pair.idxTrailer().split_time;
        if (s == 0) continue;
        for (std::size_t j = i + 1; j < listed.size(); ++j)
            if (listed[j].pair.header().split_time == s) {
                std::rotate(listed.begin() + static_cast<std::ptrdiff_t>(i + 1),
                            listed.begin() + static_cast<std::ptrdiff_t>(j),
                            listed.begin() + static_cast<std::ptrdiff_t>(j + 1));
                break;
            }
    }
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::uint32_t in = listed[i].pair.header().split_time;
        const std::uint32_t out = listed[i].pair.idxTrailer().split_time;
        listed[i].join_previous = i > 0 && in != 0 && in == listed[i - 1].pair.idxTrailer().split_time;
        listed[i].join_next = i + 1 < listed.size() && out != 0 && out == listed[i + 1].pair.header().split_time;
    }

    bool marked = false;
    for (auto& l : listed) {
        auto& pair = l.pair;
        const auto& blocks = pair.blocks();
        for (std::uint32_t i = 0; i < blocks.size(); ++i) {
            const auto begin = pair.blockBegin(i);
            const auto end = pair.blockEnd(i);
            if (!begin || !end) continue;
            const auto& b = blocks[i];
            PlayerSegment s;
            s.block_index = static_cast<int>(i);
            s.media_path = pair.vidPath().string();
            s.start = s.play_from = b.start_time;
            s.end = b.end_time;
            s.video_mask = b.video_mask;
            s.audio_mask = b.video_mask & b.audio_mask;
            s.has_audio = s.audio_mask != 0;
            s.block_begin = static_cast<std::uint32_t>(*begin);
            s.block_end = static_cast<std::uint32_t>(*end);
            s.start_offset = s.block_begin;
            s.seek_position = b.seek_position;
            s.join_previous = i == 0 && l.join_previous;
            s.join_next = i + 1 == blocks.size() && l.join_next;
            if (!marked && s.start <= t && t <= s.end) {
                marked = true;
                s.play_from = t;
                if (const auto hit = pair.locateAtOrAfter(i, t)) s.start_offset = hit->entry.video_offset;
            }
            result.segments.push_back(std::move(s));
        }
    }
    return result;
}

}  // namespace kalix::player
