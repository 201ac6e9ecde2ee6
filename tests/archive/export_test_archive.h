#pragma once
// A small archive of real pictures for the export tests: channel 1 (and a
// second channel beside it) encoded by the simulator's writer, so every
// decoded picture is known, written through the ArchiveWriter.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "archive/archive_writer.h"
#include "archive_test_support.h"
#include "sim/h264_writer.h"

namespace kalix::archive::testing {

inline constexpr std::uint32_t kExportBase = 1'700'000'000;

// A picture that differs from frame to frame: a bar moving down.
inline sim::YuvPicture exportPicture(int width, int height, int frame, int channel) {
    sim::YuvPicture p(width, height);
    auto y = p.y();
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col)
            y[static_cast<std::size_t>(row * width + col)] =
                static_cast<std::uint8_t>(((row / 16 == frame % (height / 16)) ? 200 : 40) + channel * 10 + col / 32);
    for (auto& c : p.u()) c = static_cast<std::uint8_t>(128 + channel);
    for (auto& c : p.v()) c = static_cast<std::uint8_t>(100 + frame % 50);
    return p;
}

struct ExportFrame {
    unsigned width = 352;
    unsigned height = 288;
    int gop = 5;                 // a key frame every `gop` pictures
};

// Appends `count` pictures of `channel`, 25 a second from kExportBase +
// first / 25, with an audio unit and a picture of channel 0 between them.
// Returns the pictures of `channel` in order.
struct ExportArchiveBuilder {
    explicit ExportArchiveBuilder(const std::filesystem::path& folder)
        : writer(WriterOptions{folder, 3, kDefaultSplitBytes, [] { return kExportBase; }, {}}) {
        writer.open();
    }

    void picture(std::uint8_t channel, int index, const sim::YuvPicture& p, bool key, std::uint8_t kind_override = 255,
                 std::uint8_t decode_only = 0, unsigned header_width = 0) {
        sim::H264Writer& enc = channel == 1 ? encoder1 : encoder0;
        sim::YuvPicture& ref = channel == 1 ? reference1 : reference0;
        auto coded = key || ref.width() != p.width() ? enc.keyFrame(p) : enc.predictedFrame(ref, p);
        ASSERT_TRUE(coded);
        ref = p;
        unit(channel, index, coded->bytes, kind_override != 255 ? kind_override : (coded->kind == sim::SliceKind::Key ? 0 : 1),
             decode_only, header_width ? header_width : static_cast<unsigned>(p.width()), static_cast<unsigned>(p.height()));
    }

    // A unit with any payload (not necessarily a picture).
    void unit(std::uint8_t channel, int index, const std::vector<std::uint8_t>& payload, std::uint8_t kind,
              std::uint8_t decode_only, unsigned width, unsigned height) {
        VideoSpec s;
        s.time = kExportBase + static_cast<std::uint32_t>(index / 25);
        s.channel = channel;
        s.payload = static_cast<std::uint32_t>(payload.size());
        s.kind = kind;
        s.decode_only = decode_only;
        s.width = width;
        s.height = height;
        Bytes u = videoUnit(s);
        protocol::putLe32(u.data() + 152, static_cast<std::uint32_t>((index % 25) * 40'000));
        std::copy(payload.begin(), payload.end(), u.begin() + kVideoHeaderSize);
        ASSERT_EQ(writer.appendVideo(u), UnitResult::Stored);
    }

    void audio() { ASSERT_EQ(writer.appendAudio(audioUnit(0x3)), UnitResult::Stored); }

    ArchiveWriter writer;
    sim::H264Writer encoder0;
    sim::H264Writer encoder1;
    sim::YuvPicture reference0;
    sim::YuvPicture reference1;
};

}  // namespace kalix::archive::testing
