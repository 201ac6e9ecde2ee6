#include "archive/mp4_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "archive/mp4_writer.h"
#include "export_test_archive.h"

namespace kalix::archive {
namespace {

using namespace testing;
namespace fs = std::filesystem;

// Standard output of a shell command.
std::string capture(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) return out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) out.append(buffer, n);
    return out;
}

Bytes decodedPictures(const fs::path& mp4) {
    const std::string raw = capture("ffmpeg -v error -i '" + mp4.string() + "' -f rawvideo -pix_fmt yuv420p - ");
    return Bytes(raw.begin(), raw.end());
}

TEST(AnnexBTest, UnitsLoseTheirStartCodesAndGainFourByteLengths) {
    const Bytes stream{0, 0, 0, 1, 0x65, 0xAA, 0, 0, 1, 0x41, 0xBB, 0xCC, 0, 0, 0, 1, 0x06};
    EXPECT_EQ(annexBToLengthPrefixed(stream),
              (Bytes{0, 0, 0, 2, 0x65, 0xAA, 0, 0, 0, 3, 0x41, 0xBB, 0xCC, 0, 0, 0, 1, 0x06}));
    // Bytes without a start code are one unit, kept whole.
    EXPECT_EQ(annexBToLengthPrefixed(Bytes{0x65, 1, 2}), (Bytes{0, 0, 0, 3, 0x65, 1, 2}));
    EXPECT_TRUE(annexBToLengthPrefixed(Bytes{}).empty());
    EXPECT_EQ(annexBToLengthPrefixed(Bytes{0, 0, 1, 0x65}), (Bytes{0, 0, 0, 1, 0x65}));
}

TEST(AnnexBTest, AvcCCarriesProfileLevelAndBothSets) {
    const Bytes sps{0x67, 0x42, 0xC0, 0x1E, 0x99};
    const Bytes pps{0x68, 0xCE};
    EXPECT_EQ(makeAvcC(sps, pps), (Bytes{1, 0x42, 0xC0, 0x1E, 0xFF, 0xE1, 0, 5, 0x67, 0x42, 0xC0, 0x1E, 0x99, 1, 0, 2,
                                         0x68, 0xCE}));
    EXPECT_TRUE(makeAvcC(Bytes{0x67}, pps).empty());
}

TEST(DecoderSizesTest, OnlyTheRecordersSizesAreTaken) {
    EXPECT_TRUE(decoderTakesSize(352, 288));
    EXPECT_TRUE(decoderTakesSize(360, 240));
    EXPECT_TRUE(decoderTakesSize(720, 576));
    EXPECT_FALSE(decoderTakesSize(352, 576));
    EXPECT_FALSE(decoderTakesSize(320, 240));
}

class Mp4ExportTest : public ::testing::Test {
protected:
    fs::path folder() const { return scratch_.path() / "Download"; }
    fs::path out() const { return scratch_.path() / "ch1.mp4"; }

    // 100 pictures of channel 1 (4 s) with channel 0 and audio between them;
    // key frames every `gop`. Units that must never reach the file sit in
    // between: a kind-3 picture, a decode-only picture and one of a size the
    // decoders do not take, each with bytes that are no picture at all.
    std::vector<sim::YuvPicture> writeArchive(int gop = 5, int count = 100) {
        ExportArchiveBuilder b(folder());
        std::vector<sim::YuvPicture> shown;
        const Bytes junk(300, 0x5A);
        for (int i = 0; i < count; ++i) {
            b.picture(0, i, exportPicture(352, 288, i, 0), i % 10 == 0);
            b.audio();
            const auto p = exportPicture(352, 288, i, 1);
            b.picture(1, i, p, i % gop == 0);
            shown.push_back(p);
            if (i == 30) {
                b.unit(1, i, junk, 3, 0, 352, 288);
                b.unit(1, i, junk, 1, 1, 352, 288);
                b.unit(1, i, junk, 0, 0, 320, 240);
            }
        }
        b.writer.close();
        return shown;
    }

    ExportResult run(std::optional<std::uint32_t> from, std::optional<std::uint32_t> to, std::uint8_t channel = 1,
                     std::stop_token stop = {}) {
        CatalogueRequest request;
        request.time = from;
        request.events = false;
        const LocalCatalogue catalogue = buildLocalCatalogue(folder(), request);
        ExportRequest what{channel, from, to, out()};
        return exportMp4(catalogue, what, {}, std::move(stop));
    }

    static Bytes joined(const std::vector<sim::YuvPicture>& pictures, std::size_t first, std::size_t last) {
        Bytes all;
        for (std::size_t i = first; i <= last; ++i) all.insert(all.end(), pictures[i].bytes().begin(), pictures[i].bytes().end());
        return all;
    }

    ScratchDir scratch_;
};

TEST_F(Mp4ExportTest, RangeDecodesToTheArchivedPicturesWithTheirTimesAndKeyFrames) {
    const auto pictures = writeArchive();
    // From second 1 (picture 25, a key frame) to the last picture of second 2 (74).
    const ExportResult r = run(kExportBase + 1, kExportBase + 2);
    ASSERT_TRUE(r.ok()) << r.reason;
    EXPECT_EQ(r.frames, 50u);
    EXPECT_EQ(r.width, 352u);
    EXPECT_EQ(r.height, 288u);
    EXPECT_FALSE(fs::exists(out().string() + ".part"));

    const Bytes decoded = decodedPictures(out());
    ASSERT_EQ(decoded.size(), 50u * 352 * 288 * 3 / 2);
    EXPECT_TRUE(decoded == joined(pictures, 25, 74));

    const std::string stream = capture("ffprobe -v error -select_streams v:0 -show_entries "
                                       "stream=codec_name,codec_tag_string,width,height,duration,nb_frames "
                                       "-of default=nw=1 '" + out().string() + "'");
    EXPECT_NE(stream.find("codec_name=h264"), std::string::npos) << stream;
    EXPECT_NE(stream.find("codec_tag_string=avc1"), std::string::npos) << stream;
    EXPECT_NE(stream.find("nb_frames=50"), std::string::npos) << stream;
    EXPECT_NE(stream.find("duration=2.000000"), std::string::npos) << stream;

    // Every packet: its time and whether it is a sync sample.
    std::istringstream packets(capture("ffprobe -v error -select_streams v:0 -show_entries packet=pts_time,flags "
                                       "-of csv=p=0 '" + out().string() + "'"));
    int n = 0;
    for (std::string line; std::getline(packets, line); ++n) {
        const auto comma = line.find(',');
        ASSERT_NE(comma, std::string::npos) << line;
        EXPECT_NEAR(std::stod(line.substr(0, comma)), n * 0.04, 0.001) << line;
        EXPECT_EQ(line[comma + 1] == 'K', n % 5 == 0) << "packet " << n << ": " << line;
    }
    EXPECT_EQ(n, 50);
}

TEST_F(Mp4ExportTest, StartsAtTheFirstKeyFrameAfterTheStartTime) {
    const auto pictures = writeArchive(/*gop=*/20);
    // Second 1 starts at picture 25; the next key frame is picture 40.
    const ExportResult r = run(kExportBase + 1, kExportBase + 1);
    ASSERT_TRUE(r.ok()) << r.reason;
    EXPECT_EQ(r.frames, 10u);
    EXPECT_TRUE(decodedPictures(out()) == joined(pictures, 40, 49));
}

TEST_F(Mp4ExportTest, WithoutARangeEverythingFromTheFirstPictureIsExported) {
    const auto pictures = writeArchive();
    const ExportResult r = run(std::nullopt, std::nullopt);
    ASSERT_TRUE(r.ok()) << r.reason;
    EXPECT_EQ(r.frames, 100u);
    EXPECT_TRUE(decodedPictures(out()) == joined(pictures, 0, 99));
}

TEST_F(Mp4ExportTest, ARangeWithoutAKeyFrameFailsAndLeavesNoFile) {
    writeArchive(/*gop=*/50);
    const ExportResult r = run(kExportBase + 1, kExportBase + 1);  // pictures 25-49, none a key frame
    EXPECT_EQ(r.failure, ExportFailure::NoKeyFrame);
    EXPECT_NE(r.reason.find("no key frame"), std::string::npos);
    EXPECT_FALSE(fs::exists(out()));
    EXPECT_FALSE(fs::exists(out().string() + ".part"));

    EXPECT_EQ(run(std::nullopt, std::nullopt, /*channel=*/5).failure, ExportFailure::NoKeyFrame);
    EXPECT_EQ(run(kExportBase + 100, std::nullopt).failure, ExportFailure::NoKeyFrame);
    EXPECT_FALSE(fs::exists(out()));
}

TEST_F(Mp4ExportTest, StopsBeforeAChangeOfPictureSize) {
    {
        ExportArchiveBuilder b(folder());
        for (int i = 0; i < 10; ++i) b.picture(1, i, exportPicture(352, 288, i, 1), i == 0);
        for (int i = 10; i < 15; ++i) b.picture(1, i, exportPicture(704, 576, i, 1), i == 10);
        b.writer.close();
    }
    const ExportResult r = run(std::nullopt, std::nullopt);
    ASSERT_TRUE(r.ok()) << r.reason;
    EXPECT_EQ(r.frames, 10u);
}

TEST_F(Mp4ExportTest, TimesThatDoNotRiseAreMovedOnSoTheFileStaysPlayable) {
    {
        ExportArchiveBuilder b(folder());
        // Five pictures that all carry the same time stamp.
        for (int i = 0; i < 5; ++i) b.picture(1, 0, exportPicture(352, 288, i, 1), i == 0);
        b.writer.close();
    }
    const ExportResult r = run(std::nullopt, std::nullopt);
    ASSERT_TRUE(r.ok()) << r.reason;
    EXPECT_EQ(r.frames, 5u);
    std::istringstream packets(capture("ffprobe -v error -select_streams v:0 -show_entries packet=pts_time "
                                       "-of csv=p=0 '" + out().string() + "'"));
    int n = 0;
    for (std::string line; std::getline(packets, line); ++n) EXPECT_NEAR(std::stod(line), n * 0.001, 0.0001) << line;
    EXPECT_EQ(n, 5);
}

TEST_F(Mp4ExportTest, CancelledExportLeavesNoFile) {
    writeArchive();
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(run(std::nullopt, std::nullopt, 1, stop.get_token()).failure, ExportFailure::Cancelled);
    EXPECT_FALSE(fs::exists(out()));
    EXPECT_FALSE(fs::exists(out().string() + ".part"));
}

TEST_F(Mp4ExportTest, AUnitRunningPastTheTrailerIsReportedAndLeavesNoFile) {
    writeArchive();
    // Picture 60 of channel 1 claims a payload far beyond the end of the .vid.
    const LocalCatalogue catalogue = buildLocalCatalogue(folder(), {});
    ASSERT_EQ(catalogue.pairs.size(), 1u);
    const fs::path vid = catalogue.pairs[0].vid_path;
    Bytes bytes = readFile(vid);
    std::size_t at = 64;
    int seen = 0;
    while (at + kVideoHeaderSize < bytes.size()) {
        const bool video = be32At(bytes, at + 16) == kVideoUnitMagic;
        const std::size_t len = (video ? kVideoHeaderSize : kAudioHeaderSize) + be32At(bytes, at + 28);
        if (video && (bytes[at + 164] & 15) == 1 && ++seen == 61) break;
        at += len;
    }
    ASSERT_EQ(seen, 61);
    protocol::putBe32(bytes.data() + at + 28, 0x00FFFFFF);
    writeFile(vid, bytes);

    const ExportResult r = run(std::nullopt, std::nullopt);
    EXPECT_EQ(r.failure, ExportFailure::Damaged);
    EXPECT_FALSE(fs::exists(out()));
}

}  // namespace
}  // namespace kalix::archive
