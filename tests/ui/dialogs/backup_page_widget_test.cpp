// The Backup tab of the remote search dialog with canned recorder answers:
// its Calendar asks for the backup tables and its own calendar and
// timeline take their answers, its Event page takes the events it waits
// for, and the range and channels chosen there reach "Calculate".
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

#include "protocol/byte_order.h"
#include "ui/dialogs/backup_page_widget.h"
#include "ui/dialogs/calendar_dialog.h"
#include "ui/dialogs/day_timeline_dialog.h"
#include "ui/dialogs/event_list_dialog.h"
#include "ui/dialogs/remote_search_dialog.h"
#include "ui/resource_bundle.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_check_button.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

using session::SearchAnswer;
using session::SearchKind;

constexpr protocol::RecorderTime kMay10 = 1'715'299'200;  // 2024-05-10 00:00

// The search and the backup requests in one log, to see which went out.
struct Requests final : app::SearchRequests, app::BackupRequests {
    void searchMonth() override { sent.push_back("month"); }
    void searchDay(int, int, int) override { sent.push_back("day"); }
    void searchEvents(std::uint32_t kind, std::uint32_t page) override {
        sent.push_back("events " + std::to_string(kind) + " " + std::to_string(page));
    }
    void backupMonth() override { sent.push_back("backup month"); }
    void backupDay(int y, int m, int d) override {
        sent.push_back("backup day " + std::to_string(y) + "-" + std::to_string(m) + "-" + std::to_string(d));
    }
    void downloadSize(const session::DownloadRange& range) override { sizes.push_back(range); }
    bool downloadStart(const session::DownloadRange&, std::uint32_t) override { return true; }
    bool downloading() const override { return false; }
    std::vector<std::string> sent;
    std::vector<session::DownloadRange> sizes;
};

struct Playback final : app::RemotePlayStarter {
    bool startRemotePlayback(const session::PlayStart&, app::RemotePlayInit) override { return false; }
    bool startEventPlayback(const session::EventPlayStart&, app::RemotePlayInit) override { return false; }
    const app::RemotePlayState& remotePlayState() const override { return state; }
    void clearRemotePlayState() override {}
    void setRemotePlayChannels(std::uint32_t) override {}
    bool remotePlaybackShown() const override { return false; }
    bool localPlaybackActive() const override { return false; }
    std::optional<protocol::RecorderTime> runningPlaybackPosition() const override { return std::nullopt; }
    app::RemotePlayState state;
};

void record(std::vector<std::uint8_t>& to, std::uint32_t mask, std::uint8_t kind, std::uint32_t from,
            std::uint32_t until) {
    std::uint8_t r[24] = {};
    protocol::putBe32(r, mask);
    r[4] = kind;
    protocol::putBe32(r + 16, from);
    protocol::putBe32(r + 20, until);
    to.insert(to.end(), r, r + 24);
}

SearchAnswer backupMonth() {
    std::vector<std::uint8_t> r(376, 0);
    protocol::putBe32(r.data(), 2024);
    for (int d : {2, 3, 6, 9, 10, 13, 20, 27}) r[4 + 4 * 31 + static_cast<std::size_t>(d)] = 1;
    return SearchAnswer{SearchKind::Month, r, 0, 0, false, true};
}

SearchAnswer backupDay() {
    std::vector<std::uint8_t> out;
    record(out, 0x000F, 0x01, kMay10 - 3600, kMay10 + 9 * 3600);
    record(out, 0x000F, 0x01, kMay10 + 10 * 3600, kMay10 + 20 * 3600);
    for (int i = 0; i < 12; ++i) {
        const std::uint32_t at = kMay10 + static_cast<std::uint32_t>(i) * 7000 + 600;
        record(out, 0x10u << (i % 2), 0x02, at, at + 1800);
    }
    return SearchAnswer{SearchKind::Day, out, 0, 0, false, true};
}

SearchAnswer alarmEvents() {
    SearchAnswer answer{SearchKind::Events, {}};
    for (int i = 0; i < 9; ++i)
        record(answer.records, 1u << (i % 6), 1, kMay10 + static_cast<std::uint32_t>(i) * 4111, 0);
    return answer;
}

class BackupPageTest : public ::testing::Test {
protected:
    void SetUp() override { loadResourceBundle(QStringLiteral(KALIX_BUNDLE)); }
    void TearDown() override {
        delete dialog_.data();
        unloadResourceBundle();
    }

    // The dialog of a six-channel recorder, on its Backup tab.
    BackupPageWidget& open() {
        session::RecorderIdentity id;
        id.channel_num = 6;
        id.product_major = 2;
        RemoteSearchDeps deps{requests_, playback_, id};
        deps.current_year = 2024;
        deps.backup = &requests_;
        deps.download_folder = folder_.path().toStdString();
        dialog_ = new RemoteSearchDialog(deps);
        dialog_->setWindowModality(Qt::NonModal);
        dialog_->show();
        child<SkinButton>(*dialog_, "tab-backup")->click();
        return *dialog_->backupPage();
    }
    template <typename T>
    static T* child(QWidget& w, const char* name) {
        return w.findChild<T*>(QLatin1String(name));
    }

    QTemporaryDir folder_;
    Requests requests_;
    Playback playback_;
    QPointer<RemoteSearchDialog> dialog_;
};

TEST_F(BackupPageTest, CalendarAsksTheBackupTablesAndTheTimelineStretchIsCalculated) {
    BackupPageWidget& page = open();
    RemoteSearchDialog& d = *dialog_;
    child<SkinButton>(page, "backup-sub-calendar")->click();
    EXPECT_EQ(requests_.sent, (std::vector<std::string>{"backup month"}));
    EXPECT_TRUE(child<QWidget>(d, "waiting")->isVisible());
    child<SkinButton>(d, "tab-search")->click();  // the tabs wait
    EXPECT_EQ(d.hub().tab(), app::SearchTab::Backup);

    d.handle(backupMonth());
    EXPECT_FALSE(child<QWidget>(d, "waiting")->isVisible());
    ASSERT_NE(page.calendar(), nullptr);
    EXPECT_TRUE(page.calendar()->isVisible());
    EXPECT_EQ(d.calendar(), nullptr);  // never the Search page's
    page.calendar()->dayButton(9)->click();
    EXPECT_EQ(requests_.sent.back(), "backup day 2024-5-10");

    d.handle(backupDay());
    ASSERT_NE(page.timeline(), nullptr);
    EXPECT_TRUE(page.timeline()->isVisible());
    EXPECT_EQ(d.timeline(), nullptr);
    child<SkinButton>(*page.timeline(), "play")->click();  // OK: the whole day
    EXPECT_FALSE(page.timeline()->isVisible());

    child<QPushButton>(page, "calculate")->click();
    ASSERT_EQ(requests_.sizes.size(), 1u);
    EXPECT_EQ(requests_.sizes[0].start, kMay10);
    EXPECT_EQ(requests_.sizes[0].end, kMay10 + 86'399);
    EXPECT_EQ(requests_.sizes[0].kinds, 0x3F);
    EXPECT_EQ(requests_.sizes[0].channels, 0x3Fu);  // every channel of the recorder
    d.handle(session::DownloadSize{2048, false});
    EXPECT_EQ(child<QLabel>(page, "capacity")->text(), QStringLiteral("2 MByte"));
    EXPECT_TRUE(child<QPushButton>(page, "backup")->isEnabled());
}

TEST_F(BackupPageTest, EventPickAndChosenChannelsReachTheSizeRequest) {
    BackupPageWidget& page = open();
    RemoteSearchDialog& d = *dialog_;
    child<SkinButton>(page, "backup-sub-event")->click();
    EXPECT_EQ(requests_.sent, (std::vector<std::string>{"events 1 0"}));
    d.handle(alarmEvents());
    ASSERT_NE(page.eventList(), nullptr);
    EXPECT_EQ(d.eventList(), nullptr);
    page.eventList()->list()->setCurrentRow(2);
    child<SkinButton>(*page.eventList(), "play")->click();
    EXPECT_FALSE(page.eventList()->isVisible());

    child<SkinButton>(page, "backup-sub-channels")->click();
    child<SkinCheckButton>(page, "backup-channel-0")->click();
    child<QPushButton>(page, "calculate")->click();
    ASSERT_EQ(requests_.sizes.size(), 1u);
    EXPECT_EQ(requests_.sizes[0].kinds, 1u << 1);
    EXPECT_EQ(requests_.sizes[0].start, kMay10 + 2 * 4111);
    EXPECT_EQ(requests_.sizes[0].end, kMay10 + 2 * 4111 + 60);
    EXPECT_EQ(requests_.sizes[0].channels, 0x3Eu);
}

}  // namespace
}  // namespace kalix::ui
