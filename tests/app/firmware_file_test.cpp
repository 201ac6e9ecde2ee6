#include "app/firmware_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "firmware_test_files.h"
#include "protocol/recorder_time.h"

namespace kalix::app {
namespace {

using namespace testing;

const std::vector<RecorderModule> kModules = {
    {"MAINBOARD1", 1000}, {"BOOT", 1000}, {"", 0}, {"KERNEL", 1000}, {"ROOTFS", 1000}};

FirmwareHeader accepted(const FirmwareCheck& check) {
    const auto* h = std::get_if<FirmwareHeader>(&check);
    EXPECT_NE(h, nullptr) << "refused: " << (h ? "" : refusalText(std::get<FirmwareRefusal>(check)));
    return h ? *h : FirmwareHeader{};
}

FirmwareRefusal refused(const FirmwareCheck& check) {
    const auto* r = std::get_if<FirmwareRefusal>(&check);
    EXPECT_NE(r, nullptr);
    return r ? *r : FirmwareRefusal{};
}

TEST(FirmwareFileTest, NewFormNamesItsModuleByPositionAndCarriesTheStampBigEndian) {
    const auto h = accepted(checkFirmwareHeader(newFormHeader("KERNEL", 0x5F5E1001u), kModules));
    EXPECT_EQ(h.form, FirmwareForm::New);
    EXPECT_EQ(h.module, 3);
    EXPECT_EQ(h.stamp, 0x5F5E1001u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(h.name.data()), 6), "KERNEL");
    EXPECT_EQ(h.name[6], 0);
}

TEST(FirmwareFileTest, NamesCompareExactlyAndCaseSensitively) {
    EXPECT_EQ(refused(checkFirmwareHeader(newFormHeader("kernel", 5000), kModules)), FirmwareRefusal::OtherModel);
    EXPECT_EQ(refused(checkFirmwareHeader(newFormHeader("KERNEL2", 5000), kModules)), FirmwareRefusal::OtherModel);
    EXPECT_EQ(refused(checkFirmwareHeader(newFormHeader("KERNE", 5000), kModules)), FirmwareRefusal::OtherModel);
}

TEST(FirmwareFileTest, AnEmptyModuleNameNeverMatchesAnUnnamedModule) {
    // Module 2 of this recorder has no name: an unnamed file must not be
    // offered for it.
    EXPECT_EQ(refused(checkFirmwareHeader(newFormHeader("", 5000), kModules)), FirmwareRefusal::OtherModel);
    const std::vector<RecorderModule> unnamed_first = {{"", 0}, {"X", 1}};
    EXPECT_EQ(refused(checkFirmwareHeader(plainFormHeader("", "(Mar 10 2011 - 12:34:56)"), unnamed_first)),
              FirmwareRefusal::OtherModel);
    EXPECT_EQ(refused(checkFirmwareHeader(bootFormHeader("", "(Mar 10 2011 - 12:34:56)"), unnamed_first)),
              FirmwareRefusal::OtherModel);
}

TEST(FirmwareFileTest, AFullLengthNameWithoutTerminatorStillCompares) {
    const std::string name(32, 'M');
    const std::vector<RecorderModule> modules = {{"A", 1}, {name, 1}};
    EXPECT_EQ(accepted(checkFirmwareHeader(newFormHeader(name, 9), modules)).module, 1);
}

TEST(FirmwareFileTest, OldFormsTakeTheDateTextAsStamp) {
    const auto expected = protocol::recorderTimeOf(2011, 3, 10, 12, 34, 56);
    ASSERT_TRUE(expected);
    // The hour starts 15 characters after the "(".
    const auto plain = accepted(checkFirmwareHeader(plainFormHeader("MAINBOARD1", "(Mar 10 2011 - 12:34:56)"), kModules));
    EXPECT_EQ(plain.form, FirmwareForm::OldPlain);
    EXPECT_EQ(plain.stamp, *expected);
    EXPECT_EQ(plain.module, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(plain.name.data())), "REL MAINBOARD1");
    EXPECT_EQ(plain.name[15], 0);

    const auto boot = accepted(checkFirmwareHeader(bootFormHeader("MAINBOARD1", " (Mar 10 2011 - 12:34:56)"), kModules));
    EXPECT_EQ(boot.form, FirmwareForm::OldBootMark);
    EXPECT_EQ(boot.stamp, *expected);
    EXPECT_EQ(boot.module, 0);
}

TEST(FirmwareFileTest, OldFormsCheckTheModelAgainstTheFirstModuleOnly) {
    EXPECT_EQ(refused(checkFirmwareHeader(plainFormHeader("KERNEL", "(Mar 10 2011 - 12:34:56)"), kModules)),
              FirmwareRefusal::OtherModel);
    EXPECT_EQ(refused(checkFirmwareHeader(bootFormHeader("OTHERMODEL", "(Mar 10 2011 - 12:34:56)"), kModules)),
              FirmwareRefusal::OtherModel);
}

TEST(FirmwareFileTest, ShortFilesAreRefusedBeforeAnyFieldIsRead) {
    for (std::size_t size : {0u, 1u, 100u, 255u}) {
        auto h = newFormHeader("KERNEL", 5000);
        h.resize(size);
        EXPECT_EQ(refused(checkFirmwareHeader(h, kModules)), FirmwareRefusal::Truncated) << size;
    }
}

TEST(FirmwareFileTest, DateTextRefusals) {
    struct Case {
        const char* text;
        FirmwareRefusal refusal;
    };
    for (const Case& c : {Case{"no parenthesis at all", FirmwareRefusal::NoDateText},
                          Case{"(Mrz 10 2011 - 12:34:56)", FirmwareRefusal::BadMonth},
                          Case{"(mar 10 2011 - 12:34:56)", FirmwareRefusal::BadMonth},
                          Case{"(Feb 30 2011 - 12:34:56)", FirmwareRefusal::BadDate},
                          Case{"(Mar xx 2011 - 12:34:56)", FirmwareRefusal::BadDate},
                          Case{"(Mar 10 2011 - 25:34:56)", FirmwareRefusal::BadDate},
                          Case{"(Mar 10 1969 - 12:34:56)", FirmwareRefusal::BadDate}}) {
        EXPECT_EQ(refused(checkFirmwareHeader(plainFormHeader("MAINBOARD1", c.text), kModules)), c.refusal) << c.text;
    }
}

TEST(FirmwareFileTest, TheDateTextMustLieWhollyInsideTheHeader) {
    // A "(" so late that the seconds would lie past byte 255 is no date,
    // even when the bytes after the header would complete it.
    auto h = plainFormHeader("MAINBOARD1", "");
    std::fill(h.begin() + 15, h.end(), std::uint8_t{' '});
    const std::string text = "(Mar 10 2011 - 12:34:56)";
    h.resize(240 + text.size());
    std::copy(text.begin(), text.end(), h.begin() + 240);
    EXPECT_EQ(refused(checkFirmwareHeader(h, kModules)), FirmwareRefusal::NoDateText);

    // The same text ending exactly at the header's end is read.
    auto fits = plainFormHeader("MAINBOARD1", "");
    std::fill(fits.begin() + 15, fits.end(), std::uint8_t{' '});
    std::copy(text.begin(), text.begin() + 23, fits.begin() + 233);
    EXPECT_EQ(accepted(checkFirmwareHeader(fits, kModules)).stamp, *protocol::recorderTimeOf(2011, 3, 10, 12, 34, 56));
}

TEST(FirmwareFileTest, TheParenthesisSearchStopsAtTheHeadersEnd) {
    auto h = plainFormHeader("MAINBOARD1", "no date");
    const std::string text = "(Mar 10 2011 - 12:34:56)";
    h.insert(h.end(), text.begin(), text.end());  // right after the 256 bytes
    EXPECT_EQ(refused(checkFirmwareHeader(h, kModules)), FirmwareRefusal::NoDateText);
}

TEST(FirmwareFileTest, SpacePaddedDaysReadAsTheLibraryReadsThem) {
    const auto h = accepted(checkFirmwareHeader(plainFormHeader("MAINBOARD1", "(Mar  9 2011 - 01:02:03)"), kModules));
    EXPECT_EQ(h.stamp, *protocol::recorderTimeOf(2011, 3, 9, 1, 2, 3));
}

}  // namespace
}  // namespace kalix::app
