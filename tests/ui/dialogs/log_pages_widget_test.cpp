// The Log and Info tabs of the remote search dialog and the Local Log page
// with canned answers, and the printout as a PDF. With KALIX_GALLERY_DIR
// set, LogGallery also writes a picture of each page for a person to look
// at:
//
//   KALIX_GALLERY_DIR=/tmp/gallery QT_QPA_PLATFORM=offscreen
//   build/tests/ui/ui_tests --gtest_filter='LogGallery*'
//
// (one command line).
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/operation_log.h"
#include "ui/dialogs/info_pages_widget.h"
#include "ui/dialogs/log_pages_widget.h"
#include "ui/dialogs/remote_search_dialog.h"
#include "ui/log_printing.h"
#include "ui/resource_bundle.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

constexpr std::int32_t kJune15 = 1'718'454'896;  // 2024-06-15 12:34:56

struct LogRequests final : app::SearchRequests {
    void searchMonth() override {}
    void searchDay(int, int, int) override {}
    void searchEvents(std::uint32_t, std::uint32_t) override {}
    void requestLog() override { sent.push_back("log"); }
    void requestStatus() override { sent.push_back("status"); }
    std::vector<std::string> sent;
};

struct LogPlayback final : app::RemotePlayStarter {
    bool startRemotePlayback(const session::PlayStart& r, app::RemotePlayInit) override {
        starts.push_back(r);
        return true;
    }
    bool startEventPlayback(const session::EventPlayStart&, app::RemotePlayInit) override { return false; }
    const app::RemotePlayState& remotePlayState() const override { return state; }
    void clearRemotePlayState() override {}
    void setRemotePlayChannels(std::uint32_t) override {}
    bool remotePlaybackShown() const override { return false; }
    bool localPlaybackActive() const override { return local; }
    std::optional<protocol::RecorderTime> runningPlaybackPosition() const override { return std::nullopt; }
    app::RemotePlayState state;
    std::vector<session::PlayStart> starts;
    bool local = false;
};

session::RemoteLogEntry entry(std::uint32_t n, std::uint32_t category, std::uint32_t type, std::uint32_t parameter,
                              const char* text = "", const char* user = "admin") {
    session::RemoteLogEntry e;
    e.number = n;
    e.size = 200;
    e.category = category;
    e.type = type;
    e.time = kJune15 + static_cast<std::int32_t>(n) * 97;
    e.parameter = parameter;
    std::memcpy(e.text.data(), text, std::strlen(text));
    std::memcpy(e.user.data(), user, std::strlen(user));
    return e;
}

session::LogAnswer sampleLog() {
    session::LogAnswer a;
    for (std::uint32_t n = 1; n <= 60; ++n) {
        const std::uint32_t c = n % 5;
        a.entries.push_back(entry(n, 1u << c, 1u << (n % 3), c == 4 ? (1u << (n % 8)) | 0x8000u : 2,
                                  c == 3 ? "192.168.1.20" : c == 2 ? "Setup menu" : "", c == 4 ? "System" : "admin"));
    }
    return a;
}

std::vector<std::uint8_t> sampleStatus() {
    std::vector<std::uint8_t> s(56);
    s[10] = 0x10;  // 4096 MByte
    s[14] = 0x04;  // 1024 MByte free
    s[16] = 1;
    s[20] = 2;
    s[24] = 1;
    for (int c = 0; c < 8; ++c) s[40 + static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c % 3);
    return s;
}

class LogPagesTest : public ::testing::Test {
protected:
    void SetUp() override { loadResourceBundle(QStringLiteral(KALIX_BUNDLE)); }
    void TearDown() override {
        delete dialog_.data();
        unloadResourceBundle();
    }
    RemoteSearchDialog& open() {
        session::RecorderIdentity id;
        id.channel_num = 8;
        id.product_major = 2;
        id.mac = {0x00, 0x1c, 0x2d, 0x3e, 0x4f, 0x50};
        for (std::uint32_t m = 0; m < 7; ++m) id.modules[m] = {"v2." + std::to_string(m), 1'700'000'000u + m};
        RemoteSearchDeps deps{requests_, playback_, id};
        deps.current_year = 2024;
        deps.address = "192.168.1.64";
        deps.port = 2000;
        dialog_ = new RemoteSearchDialog(deps);
        dialog_->setWindowModality(Qt::NonModal);
        dialog_->show();
        return *dialog_;
    }
    template <typename T>
    static T* child(QWidget& w, const char* name) {
        return w.findChild<T*>(QLatin1String(name));
    }

    LogRequests requests_;
    LogPlayback playback_;
    QPointer<RemoteSearchDialog> dialog_;
};

TEST_F(LogPagesTest, LogIsAskedOnceAndEveryPageShowsItsEntries) {
    RemoteSearchDialog& d = open();
    child<SkinButton>(d, "tab-log")->click();
    EXPECT_EQ(requests_.sent, (std::vector<std::string>{"log"}));
    d.handle(sampleLog());
    auto* list = child<SkinListBox>(d, "log-list");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->rowCount(), 60);
    EXPECT_EQ(list->cell(0, 0), QStringLiteral("00060"));
    child<SkinButton>(d, "log-power")->click();
    EXPECT_EQ(list->rowCount(), 12);
    // Another tab and back: the same page, no new request.
    child<SkinButton>(d, "tab-info")->click();
    child<SkinButton>(d, "tab-log")->click();
    EXPECT_EQ(list->rowCount(), 12);
    EXPECT_EQ(requests_.sent, (std::vector<std::string>{"log"}));
}

TEST_F(LogPagesTest, EventPlayStartsAtTheEntryAndClosesTheDialog) {
    RemoteSearchDialog& d = open();
    child<SkinButton>(d, "tab-log")->click();
    d.handle(sampleLog());
    child<SkinButton>(d, "log-event")->click();
    auto* list = child<SkinListBox>(d, "log-list");
    auto* play = child<SkinButton>(d, "log-play");
    ASSERT_EQ(list->rowCount(), 12);
    // Entry 59: type bit 2, channels 4 and 16.
    list->setCurrentRow(0);
    EXPECT_EQ(list->cell(0, 4), QStringLiteral("04 16 "));
    ASSERT_TRUE(play->isEnabled());
    // Entry 54: type bit 0 is playable too; a local player forbids it.
    playback_.local = true;
    list->setCurrentRow(1);
    EXPECT_FALSE(play->isEnabled());
    playback_.local = false;
    list->setCurrentRow(0);
    play->click();
    ASSERT_EQ(playback_.starts.size(), 1u);
    EXPECT_EQ(playback_.starts[0].mask, (1u << 3) | 0x8000u);
    EXPECT_EQ(playback_.starts[0].start, static_cast<protocol::RecorderTime>(kJune15 + 59 * 97));
    EXPECT_TRUE(d.hub().closed());
}

TEST_F(LogPagesTest, InfoPagesShowSystemAtOnceAndAskForStatus) {
    RemoteSearchDialog& d = open();
    child<SkinButton>(d, "tab-info")->click();
    auto* list = child<SkinListBox>(d, "info-list");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->cell(0, 1), QStringLiteral("192.168.1.64"));
    EXPECT_EQ(list->cell(3, 1), QStringLiteral("00:1C:2D:3E:4F:50"));
    EXPECT_TRUE(requests_.sent.empty());
    child<SkinButton>(d, "info-status")->click();
    EXPECT_EQ(requests_.sent, (std::vector<std::string>{"status"}));
    d.handle(session::StatusAnswer{sampleStatus(), false});
    EXPECT_EQ(list->cell(0, 1), QStringLiteral("    4 GByte"));
    EXPECT_EQ(list->cell(2, 1), QStringLiteral("    1 GByte"));
    EXPECT_EQ(list->rowCount(), 3 + 1 + 8 + 1 + 2);
}

std::string shell(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

TEST_F(LogPagesTest, PrintToPdfWritesTheDocumentNameAndEveryPage) {
    std::vector<app::ListRow> rows;
    for (int i = 0; i < 34; ++i) rows.push_back({{std::to_string(i), "t", "n", "u", "d"}, {}});
    const app::Printout printout = app::layoutPrintout(app::LogPage::Client, rows);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("client.pdf"));
    ASSERT_TRUE(printToPdf(path, printout));
    ASSERT_TRUE(QFile::exists(path));
    if (shell("command -v pdfinfo").empty()) GTEST_SKIP() << "pdfinfo is not installed";
    const std::string info = shell("pdfinfo '" + path.toStdString() + "'");
    EXPECT_NE(info.find("Remote Log Client"), std::string::npos) << info;
    const auto pages = info.find("Pages:");
    ASSERT_NE(pages, std::string::npos) << info;
    EXPECT_EQ(std::stoi(info.substr(pages + 6)), 2) << info;
    std::string text = shell("pdftotext -f 2 -l 2 '" + path.toStdString() + "' -");
    // pdftotext may drop the spaces between separately placed glyphs.
    std::erase(text, ' ');
    EXPECT_NE(text.find("-2/2-"), std::string::npos) << text;
}

TEST_F(LogPagesTest, LocalLogPageReadsTheOperationLog) {
    QTemporaryDir dir;
    app::OperationLog log(dir.path().toStdString(), app::StorageMode::Writable, protocol::UtcOffset{},
                          [] { return std::time_t{1'000'000}; });
    ASSERT_TRUE(log.append(2, 1, "admin", "10.0.0.7"));
    ASSERT_TRUE(log.append(1, 2, "", ""));
    LocalLogPage page(dir.path().toStdString(), app::DateFormat::YearMonthDay);
    ASSERT_EQ(page.list()->rowCount(), 2);
    EXPECT_EQ(page.list()->cell(0, 2), QStringLiteral("Program ended"));
    EXPECT_EQ(page.list()->cell(1, 0), QStringLiteral("0001"));
    EXPECT_EQ(page.list()->cell(1, 3), QStringLiteral("admin"));
    EXPECT_EQ(page.printout().document_name, "Local Log");
}

// Pictures for a person to look at.
class LogGallery : public LogPagesTest {
protected:
    void SetUp() override {
        dir_ = qEnvironmentVariable("KALIX_GALLERY_DIR");
        if (dir_.isEmpty()) GTEST_SKIP() << "set KALIX_GALLERY_DIR to write the gallery";
        ASSERT_TRUE(QDir().mkpath(dir_));
        LogPagesTest::SetUp();
    }
    void save(QWidget& widget, const QString& name) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
        const QString file = QDir(dir_).filePath(name + QStringLiteral(".png"));
        ASSERT_TRUE(widget.grab().save(file)) << file.toStdString();
    }
    QString dir_;
};

TEST_F(LogGallery, LogInfoAndLocalPages) {
    RemoteSearchDialog& d = open();
    child<SkinButton>(d, "tab-log")->click();
    d.handle(sampleLog());
    for (const char* page : {"all", "power", "record", "operation", "client", "event", "archive"}) {
        child<SkinButton>(d, (std::string("log-") + page).c_str())->click();
        save(d, QStringLiteral("log-") + QLatin1String(page));
    }
    child<SkinButton>(d, "tab-info")->click();
    save(d, QStringLiteral("info-system"));
    child<SkinButton>(d, "info-status")->click();
    d.handle(session::StatusAnswer{sampleStatus(), false});
    save(d, QStringLiteral("info-status"));

    app::OperationLog log(dir_.toStdString(), app::StorageMode::Writable, protocol::UtcOffset{},
                          [] { return std::time_t{1'718'454'896}; });
    log.append(1, 1, "", "");
    log.append(2, 1, "admin", "192.168.1.64");
    log.append(4, 1, "", "");
    log.append(4, 2, "", "");
    log.append(2, 2, "admin", "192.168.1.64");
    LocalLogDialog local(dir_.toStdString(), app::DateFormat::YearMonthDay);
    local.show();
    save(local, QStringLiteral("local-log"));
    ASSERT_TRUE(printToPdf(QDir(dir_).filePath(QStringLiteral("local-log.pdf")), local.page()->printout()));
}

}  // namespace
}  // namespace kalix::ui
