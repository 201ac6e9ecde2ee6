#pragma once
// Small archive pairs for the player's tests: units laid out as the
// download writer lays them (previous-frame links, one seek entry per new
// time stamp and per block start, both trailers), and the catalogue
// segments that describe their blocks. Only what the player reads is
// written; the index's fixed tables are left out.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "player/local_player.h"
#include "player/play_segment.h"
#include "protocol/byte_order.h"

namespace kalix::player::test {

struct FixtureUnit {
    bool audio = false;
    std::uint8_t channel = 0;
    std::uint8_t kind = 0;  // frame kind, 0 = key
    std::uint32_t time = 0;
    std::uint32_t segment_key = 1;
    std::uint32_t payload = 40;
    std::uint32_t audio_mask = 0;  // audio: the channels whose blocks follow
    std::uint8_t byte52 = 0;
    std::uint16_t width = 352, height = 240;
    std::uint8_t watermark_kind = 0;   // 2: a watermark at bytes 53-54
    std::int32_t watermark = -1;       // −1: the payload's own sum
};

inline FixtureUnit video(std::uint8_t channel, std::uint32_t time, std::uint8_t kind = 0, std::uint32_t key = 1) {
    FixtureUnit u;
    u.channel = channel;
    u.time = time;
    u.kind = kind;
    u.segment_key = key;
    return u;
}

inline FixtureUnit audio(std::uint32_t mask) {
    FixtureUnit u;
    u.audio = true;
    u.audio_mask = mask;
    u.payload = 48u * static_cast<std::uint32_t>(__builtin_popcount(mask));
    return u;
}

struct WrittenUnit {
    std::uint32_t offset = 0;
    FixtureUnit unit;
};

struct FixturePair {
    std::string vid_path;
    std::vector<WrittenUnit> units;
    Catalogue segments;
};

// Payload bytes: the unit's index in its low byte, so tests can tell blocks apart.
inline FixturePair writePair(const std::filesystem::path& dir, const std::string& name,
                             const std::vector<FixtureUnit>& units) {
    using protocol::putBe32;
    std::filesystem::create_directories(dir);
    FixturePair pair;
    pair.vid_path = (dir / (name + ".vid")).string();
    std::vector<std::uint8_t> vid(64, 0);
    putBe32(vid.data() + 16, 0x20070516);
    constexpr std::uint32_t kSeekStart = 256;
    std::vector<std::uint8_t> idx(kSeekStart, 0);
    std::uint32_t link = 64, last_video = 0, last_audio = 0;
    bool have_time = false;
    std::uint32_t last_seek_time = 0;
    std::uint32_t open_key = 0;
    bool block_open = false;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const FixtureUnit& u = units[i];
        const auto offset = static_cast<std::uint32_t>(vid.size());
        const std::size_t header = u.audio ? 64 : 192;
        std::vector<std::uint8_t> h(header, 0);
        bool force_seek = false;
        if (u.audio) {
            putBe32(h.data() + 16, 0x2518F049);
            putBe32(h.data() + 52, u.audio_mask);
            putBe32(h.data() + 40, u.audio_mask);
            last_audio = offset;
            if (block_open) pair.segments.back().audio_mask |= u.audio_mask;
        } else {
            if (!block_open || u.segment_key != open_key) {
                if (block_open) {
                    auto& s = pair.segments.back();
                    s.block_end = offset;
                }
                PlayerSegment s;
                s.block_index = static_cast<int>(pair.segments.size());
                s.media_path = pair.vid_path;
                s.start = s.play_from = s.end = u.time;
                s.block_begin = s.start_offset = offset;
                s.seek_position = static_cast<std::uint32_t>(idx.size());
                pair.segments.push_back(s);
                block_open = true;
                open_key = u.segment_key;
                force_seek = true;
            }
            auto& s = pair.segments.back();
            s.end = u.time;
            s.video_mask |= 1u << u.channel;
            putBe32(h.data() + 16, 0x20061123);
            putBe32(h.data() + 24, u.time);
            putBe32(h.data() + 40, u.segment_key);
            h[52] = u.byte52;
            h[51] = u.watermark_kind;
            if (u.watermark_kind == 2) {
                std::vector<std::uint8_t> payload(u.payload);
                for (std::uint32_t b = 0; b < u.payload; ++b) payload[b] = static_cast<std::uint8_t>(i + b);
                const auto value = u.watermark >= 0 ? static_cast<std::uint16_t>(u.watermark) : watermarkSum(payload);
                protocol::putLe16(h.data() + 53, value);
            }
            std::uint8_t* enc = h.data() + 128;
            protocol::putLe16(enc, static_cast<std::uint16_t>(u.payload & 0xFFFF));
            enc[2] = static_cast<std::uint8_t>(((u.payload >> 16) & 0x0F) | (u.kind << 6));
            enc[4] = static_cast<std::uint8_t>(u.height / 16);
            enc[5] = static_cast<std::uint8_t>(u.width / 16);
            protocol::putLe32(enc + 20, u.time);
            protocol::putLe32(enc + 24, 0);
            enc[36] = u.channel;
            if (force_seek || !have_time || u.time != last_seek_time) {
                std::uint8_t e[8];
                putBe32(e, offset);
                putBe32(e + 4, last_audio);
                idx.insert(idx.end(), e, e + 8);
                last_seek_time = u.time;
                have_time = true;
            }
        }
        putBe32(h.data() + 28, u.payload);
        putBe32(h.data() + 32, link);
        vid.insert(vid.end(), h.begin(), h.end());
        for (std::uint32_t b = 0; b < u.payload; ++b) vid.push_back(static_cast<std::uint8_t>(i + b));
        if (!u.audio) link = last_video = offset;
    }
    const auto trailer = static_cast<std::uint32_t>(vid.size());
    if (block_open) pair.segments.back().block_end = trailer;
    std::vector<std::uint8_t> t(64, 0);
    putBe32(t.data() + 16, 0x19720505);
    putBe32(t.data() + 36, last_video);
    vid.insert(vid.end(), t.begin(), t.end());
    putBe32(t.data() + 36, 0);
    idx.insert(idx.end(), t.begin(), t.end());
    for (auto& s : pair.segments) {
        s.audio_mask &= s.video_mask;
        s.has_audio = s.audio_mask != 0;
    }
    std::ofstream(pair.vid_path, std::ios::binary).write(reinterpret_cast<const char*>(vid.data()),
                                                          static_cast<std::streamsize>(vid.size()));
    std::ofstream((dir / (name + ".idx")).string(), std::ios::binary)
        .write(reinterpret_cast<const char*>(idx.data()), static_cast<std::streamsize>(idx.size()));
    std::uint32_t offset = 64;
    for (std::size_t i = 0; i < units.size(); ++i) {
        pair.units.push_back(WrittenUnit{offset, units[i]});
        offset += (units[i].audio ? 64u : 192u) + units[i].payload;
    }
    return pair;
}

}  // namespace kalix::player::test
