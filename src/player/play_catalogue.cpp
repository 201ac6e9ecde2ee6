#include "player/play_catalogue.h"

#include "archive/local_catalogue.h"

namespace kalix::player {

PlayerSegment toPlayerSegment(const archive::LocalCatalogue& catalogue, std::size_t i) {
    const archive::PlaySegment& s = catalogue.segments[i];
    PlayerSegment p;
    p.has_audio = s.has_audio;
    p.block_index = static_cast<int>(s.block_index);
    p.media_path = s.media_path.string();
    p.start = s.start_time;
    p.play_from = s.play_from;
    p.end = s.end_time;
    // The catalogue only lists pairs whose offsets fit the files' 32-bit words.
    p.start_offset = static_cast<std::uint32_t>(s.start_offset);
    p.video_mask = s.video_mask;
    p.audio_mask = s.audio_mask;
    p.block_begin = static_cast<std::uint32_t>(s.block_begin);
    p.block_end = static_cast<std::uint32_t>(s.block_end);
    if (s.pair < catalogue.pairs.size() && s.block_index < catalogue.pairs[s.pair].block_records.size())
        p.seek_position = catalogue.pairs[s.pair].block_records[s.block_index].seek_position;
    p.join_previous = s.join_previous;
    p.join_next = s.join_next;
    return p;
}

PlayCatalogue buildPlayCatalogue(const std::filesystem::path& path, protocol::RecorderTime t) {
    archive::CatalogueRequest request;
    request.time = t;
    request.events = false;
    std::error_code ec;
    const archive::LocalCatalogue local = std::filesystem::is_directory(path, ec)
                                              ? archive::buildLocalCatalogue(path, request)
                                              : archive::buildLocalCatalogue(std::vector{path}, request);
    PlayCatalogue result;
    for (std::size_t i = 0; i < local.segments.size(); ++i) result.segments.push_back(toPlayerSegment(local, i));
    for (const auto& s : local.skipped) result.skipped.push_back({s.path.string(), s.reason});
    return result;
}

}  // namespace kalix::player
