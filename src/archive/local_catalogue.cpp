#include "archive/local_catalogue.h"

#include <algorithm>
#include <cctype>

#include "archive/archive_file.h"
#include "archive/archive_reader.h"
#include "protocol/byte_order.h"

namespace kalix::archive {
namespace {

struct Candidate {
    std::filesystem::path path;
    std::uint32_t split_in = 0;
    std::uint32_t split_out = 0;
    std::uint32_t first_time = 0;
    bool join_previous = false;
    bool join_next = false;
};

bool isIndexFile(const std::filesystem::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".idx";
}

// Reads what ordering needs; a field that cannot be read counts as 0.
Candidate readCandidate(ArchiveFile& file, const std::filesystem::path& path) {
    Candidate c;
    c.path = path;
    std::array<std::uint8_t, 4> word{};
    if (file.readAt(32, word)) c.split_in = protocol::be32(word.data());
    if (file.readAt(kSummaryOffset + 24, word)) c.first_time = protocol::be32(word.data());
    std::uint64_t size = 0;
    if (file.size(size) && size >= kTrailerSize && file.readAt(size - kTrailerSize + 32, word))
        c.split_out = protocol::be32(word.data());
    return c;
}

void order(std::vector<Candidate>& list) {
    std::stable_sort(list.begin(), list.end(),
                     [](const Candidate& a, const Candidate& b) { return a.first_time < b.first_time; });
    // A full pair is followed by the pair its split time leads to.
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::uint32_t s = list[i].split_out;
        if (s == 0) continue;
        for (std::size_t j = i + 1; j < list.size(); ++j) {
            if (list[j].split_in != s) continue;
            if (j > i + 1) std::rotate(list.begin() + static_cast<long>(i) + 1, list.begin() + static_cast<long>(j),
                                       list.begin() + static_cast<long>(j) + 1);
            break;
        }
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i > 0) list[i].join_previous = list[i].split_in != 0 && list[i].split_in == list[i - 1].split_out;
        if (i + 1 < list.size()) list[i].join_next = list[i].split_out != 0 && list[i].split_out == list[i + 1].split_in;
    }
}

using KindNumbers = std::array<std::uint32_t, 8>;

void addPair(LocalCatalogue& cat, const Candidate& c, ArchivePair& pair, const CatalogueRequest& request,
             KindNumbers& numbers) {
    const std::size_t pair_index = cat.pairs.size();
    CataloguePair p;
    p.idx_path = pair.idxPath();
    p.vid_path = pair.vidPath();
    p.key = nameKey(pair.idxPath());
    p.split_in = pair.header().split_time;
    p.split_out = pair.idxTrailer().split_time;
    p.first_time = pair.summary().first_time;
    p.last_time = pair.summary().last_time;
    p.blocks = pair.summary().block_count;
    p.join_previous = c.join_previous;
    p.join_next = c.join_next;
    p.block_records = pair.blocks();
    cat.pairs.push_back(std::move(p));

    const auto& blocks = pair.blocks();
    if (pair.seekCount() > 0) {
        bool held = std::any_of(cat.segments.begin(), cat.segments.end(),
                                [](const PlaySegment& s) { return s.holds_request; });
        for (std::uint32_t i = 0; i < blocks.size(); ++i) {
            PlaySegment s;
            s.pair = pair_index;
            s.block_index = i;
            s.media_path = pair.vidPath();
            s.start_time = blocks[i].start_time;
            s.end_time = blocks[i].end_time;
            s.video_mask = blocks[i].video_mask;
            s.audio_mask = blocks[i].video_mask & blocks[i].audio_mask;
            s.has_audio = s.audio_mask != 0;
            s.block_begin = *pair.blockBegin(i);
            s.block_end = *pair.blockEnd(i);
            s.join_previous = i == 0 && c.join_previous;
            s.join_next = i + 1 == blocks.size() && c.join_next;
            s.play_from = s.start_time;
            s.start_offset = s.block_begin;
            if (request.time && !held && s.start_time <= *request.time && *request.time <= s.end_time) {
                held = true;
                s.holds_request = true;
                s.play_from = *request.time;
                if (const auto hit = pair.locateAtOrAfter(i, *request.time)) s.start_offset = hit->entry.video_offset;
            }
            cat.segments.push_back(std::move(s));
        }
    }

    if (!request.events) return;
    for (const auto& r : pair.readEvents()) {
        const std::uint8_t kind = r.kind();
        if (kind != 1 && kind != 2 && kind != 7) continue;
        cat.events.push_back({pair_index, r.time(), r.time2(), r.channelMask(), kind, numbers[kind]++});
    }
}

LocalCatalogue build(std::vector<std::filesystem::path> files, const CatalogueRequest& request,
                     LocalCatalogue cat) {
    // 1. The files that carry the signature.
    std::vector<Candidate> kept;
    for (const auto& path : files) {
        ArchiveFile file;
        std::array<std::uint8_t, kSignatureSize> signature{};
        if (!file.open(path, ArchiveFile::Mode::ReadOnly)) {
            cat.skipped.push_back({path, "cannot open the .idx: " + errorText(file.errorNumber())});
            continue;
        }
        if (!file.readAt(0, signature) || !hasSignature(signature, kSignatureKind3)) {
            cat.skipped.push_back({path, "signature is not tarnrec9w"});
            continue;
        }
        // 2. What ordering needs.
        kept.push_back(readCandidate(file, path));
    }
    // 3-5. Order, chains, join flags.
    order(kept);
    // 6. Validate each and list its blocks.
    KindNumbers numbers{};
    for (const auto& c : kept) {
        ArchivePair pair;
        if (!pair.open(c.path)) {
            cat.skipped.push_back({c.path, pair.failure()});
            continue;
        }
        addPair(cat, c, pair, request, numbers);
    }
    return cat;
}

}  // namespace

std::uint32_t nameKey(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    std::uint32_t key = 0;
    for (std::size_t i = 0; i < name.size() && i < 8; ++i) {
        const unsigned char ch = static_cast<unsigned char>(name[i]);
        if (!std::isxdigit(ch)) break;
        const unsigned digit = std::isdigit(ch) ? ch - '0' : static_cast<unsigned>(std::tolower(ch) - 'a' + 10);
        key = key * 16 + digit;
    }
    return key;
}

std::optional<std::size_t> LocalCatalogue::startSegment(std::uint32_t t) const {
    // A segment whose last second is t still holds t.
    for (std::size_t i = 0; i < segments.size(); ++i)
        if (t < segments[i].start_time || t <= segments[i].end_time) return i;
    return std::nullopt;
}

std::size_t LocalCatalogue::stretchFirst(std::size_t i) const {
    while (i > 0 && segments[i].join_previous) --i;
    return i;
}

std::size_t LocalCatalogue::stretchLast(std::size_t i) const {
    while (i + 1 < segments.size() && segments[i].join_next) ++i;
    return i;
}

LocalCatalogue buildLocalCatalogue(const std::filesystem::path& folder, const CatalogueRequest& request) {
    LocalCatalogue cat;
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (files.size() >= kMaxCatalogueFiles) break;
        if (isIndexFile(it->path()) && it->is_regular_file(ec)) files.push_back(it->path());
    }
    // Directory order is arbitrary; name order keeps equal first times stable.
    std::sort(files.begin(), files.end());
    return build(std::move(files), request, std::move(cat));
}

LocalCatalogue buildLocalCatalogue(const std::vector<std::filesystem::path>& idx_files,
                                   const CatalogueRequest& request) {
    return build(idx_files, request, LocalCatalogue{});
}

}  // namespace kalix::archive
