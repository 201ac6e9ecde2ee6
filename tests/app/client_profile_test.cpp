#include "app/client_profile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string_view>

namespace kalix::app {
namespace {

ClientProfile parse(std::string_view text) {
    return parseClientProfile(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

TEST(ClientProfile, CarriageReturnsEndLinesAndLineFeedsAreDropped) {
    const ClientProfile p = parse("Vista\r\nVistaDir\r\nDD-MM-YYYY\r\nrgb\r\nignored fifth\r\n");
    EXPECT_EQ(p.title, "Vista");
    EXPECT_EQ(p.folder_word, "VistaDir");
    EXPECT_EQ(p.defaultDateFormat(), DateFormat::DayMonthYear);
    EXPECT_EQ(p.defaultDrawMode(), DrawMode::Rgb);
}

TEST(ClientProfile, LineFeedOnlyFileIsOneLongFirstLine) {
    const ClientProfile p = parse("Vista\nVistaDir\nMM-DD-YYYY\nRGB\n");
    EXPECT_EQ(p.title, "VistaVistaDirMM-DD-YYYYRGB");
    EXPECT_EQ(p.folder_word, "Kalix");
    EXPECT_EQ(p.defaultDateFormat(), DateFormat::YearMonthDay);
    EXPECT_EQ(p.defaultDrawMode(), DrawMode::Yuv);
}

TEST(ClientProfile, EmptyLinesAndMissingLinesKeepTheirDefaults) {
    const ClientProfile p = parse("\r\nVistaDir\r\n\n\r");
    EXPECT_EQ(p.title, "Kalix");
    EXPECT_EQ(p.folder_word, "VistaDir");
    EXPECT_EQ(p.date_format, "YYYY-MM-DD");
    EXPECT_EQ(p.draw_mode, "YUV");
    EXPECT_EQ(parse(""), ClientProfile{});
    // The last line needs no carriage return.
    EXPECT_EQ(parse("A\rB\rmm-dd-yyyy").defaultDateFormat(), DateFormat::MonthDayYear);
    // Unknown texts fall back to the first choice.
    EXPECT_EQ(parse("A\rB\rYYYY/MM/DD\roverlay"), (ClientProfile{"A", "B", "YYYY/MM/DD", "overlay"}));
    EXPECT_EQ(parse("A\rB\rYYYY/MM/DD\roverlay").defaultDrawMode(), DrawMode::Yuv);
}

TEST(ClientProfile, OverlongLineIsCutWithoutSpillingIntoTheNext) {
    const std::string long_line(300, 'x');
    const ClientProfile p = parse(long_line + "\rSecond\r");
    EXPECT_EQ(p.title, std::string(kProfileLineCapacity, 'x'));
    EXPECT_EQ(p.folder_word, "Second");
}

TEST(ClientProfile, LoadTakesTheFirstReadableCandidate) {
    const auto dir = std::filesystem::path(::testing::TempDir()) / "kalix_profile_test";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / kProfileFileName, std::ios::binary) << "Found\r";
    EXPECT_EQ(loadClientProfile({dir / "missing.bin", dir / kProfileFileName}).title, "Found");
    EXPECT_EQ(loadClientProfile({dir / "missing.bin"}), ClientProfile{});
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kalix::app
