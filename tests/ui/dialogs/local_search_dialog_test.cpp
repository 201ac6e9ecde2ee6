// The local search over archive pairs written by the archive writer: the
// calendar, the day timeline and the event list open from the local
// catalogue and start local playback through the main window's hook; the
// bookmark page and the export window work on the storage location. With
// KALIX_GALLERY_DIR set, LocalSearchGallery writes pictures of each window:
//
//   KALIX_GALLERY_DIR=/tmp/gallery QT_QPA_PLATFORM=offscreen
//   build/tests/ui/ui_tests --gtest_filter='LocalSearchGallery*'
//
// (one command line).
#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

#include "../../archive/archive_test_support.h"
#include "archive/archive_writer.h"
#include "ui/dialogs/calendar_dialog.h"
#include "ui/dialogs/day_timeline_dialog.h"
#include "ui/dialogs/event_list_dialog.h"
#include "ui/dialogs/export_dialog.h"
#include "ui/dialogs/local_search_dialog.h"
#include "ui/resource_bundle.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

namespace fs = std::filesystem;
using archive::testing::ScratchDir;
using archive::testing::VideoSpec;

constexpr std::uint32_t kDay = 1'700'006'400;  // 2023-11-15 00:00:00

struct Stretch {
    std::uint32_t from;  // seconds of the day
    std::uint32_t to;
    std::uint32_t channels;
    std::uint8_t flag;
};

// A day of recordings, one picture of each channel every 30 s, and events.
void writeDay(const fs::path& download) {
    archive::ArchiveWriter w(archive::WriterOptions{download, 3, archive::kDefaultSplitBytes, [] { return kDay; }, {}});
    ASSERT_TRUE(w.open());
    const Stretch stretches[] = {{8 * 3600, 9 * 3600 + 1800, 0x3, 0},
                                 {10 * 3600 + 900, 11 * 3600, 0x4, 1},
                                 {13 * 3600, 17 * 3600 + 2700, 0xB, 0},
                                 {20 * 3600, 21 * 3600, 0x1, 1}};
    std::uint32_t key = 1;
    for (const Stretch& s : stretches) {
        for (std::uint32_t t = s.from; t <= s.to; t += 30)
            for (std::uint8_t c = 0; c < 16; ++c) {
                if (!(s.channels & (1u << c))) continue;
                VideoSpec v;
                v.time = kDay + t;
                v.key = key;
                v.channel = c;
                v.flag = s.flag;
                w.appendVideo(archive::testing::videoUnit(v));
            }
        ++key;
    }
    w.keepEvents(archive::testing::eventLogUnit({{kDay + 8 * 3600 + 60, 1, 0x1, 1},
                                                 {kDay + 10 * 3600 + 950, 2, 0x4, 2},
                                                 {kDay + 13 * 3600 + 10, 3, 0x9, 2},
                                                 {kDay + 15 * 3600, 4, 0x2, 7},
                                                 {kDay + 20 * 3600 + 5, 5, 0x1, 1}}));
    w.close();
}

class LocalSearchDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeDay(dir_.path() / "Download");
        app::BookmarkFile file(dir_.path());
        file.writeRecord(0, app::makeRecord({kDay + 8 * 3600 + 300, "Van at the gate", "a.vid"}));
        file.writeRecord(1, app::makeRecord({kDay + 14 * 3600, "Delivery", "a.vid"}));
    }

    std::unique_ptr<LocalSearchDialog> dialog() {
        LocalSearchDeps deps;
        deps.location = dir_.path();
        deps.archive_folder = dir_.path() / "Download";
        deps.current_year = 2023;
        deps.start_local_playback = [this](protocol::RecorderTime t) {
            started_.push_back(t);
            return true;
        };
        deps.playback_moment = [] { return std::optional<PlaybackMoment>(PlaybackMoment{kDay + 16 * 3600, "b.vid"}); };
        auto d = std::make_unique<LocalSearchDialog>(std::move(deps));
        d->setAttribute(Qt::WA_DeleteOnClose, false);
        d->show();
        return d;
    }

    ScratchDir dir_;
    std::vector<protocol::RecorderTime> started_;
};

TEST_F(LocalSearchDialogTest, CalendarDayAndTimelineComeFromTheArchiveAndPlayStartsLocalPlayback) {
    auto d = dialog();
    ASSERT_EQ(d->catalogue().pairs.size(), 1u);
    d->chooseTab(LocalSearchTab::Calendar);
    QTRY_VERIFY(d->calendar() != nullptr);
    EXPECT_TRUE(d->calendar()->dayButton(14)->isEnabled());
    EXPECT_FALSE(d->calendar()->dayButton(15)->isEnabled());
    d->calendar()->dayButton(14)->click();
    QTRY_VERIFY(d->timeline() != nullptr && d->timeline()->isVisible());
    ASSERT_NE(d->hub().timeline(), nullptr);
    EXPECT_FALSE(d->hub().timeline()->bars().empty());
    d->hub().playTimeline();
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0], kDay);
}

TEST_F(LocalSearchDialogTest, EventListShowsTheArchivesEventsNewestFirst) {
    auto d = dialog();
    d->chooseTab(LocalSearchTab::Event);
    QTRY_VERIFY(d->eventList() != nullptr);
    QTRY_COMPARE(d->eventList()->list()->rowCount(), 2);  // the alarms
    EXPECT_EQ(d->eventList()->list()->cell(0, 0), QStringLiteral("2023-11-15 20:00:05"));
    d->hub().playEvent(1);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0], kDay + 8 * 3600 + 60);
}

TEST_F(LocalSearchDialogTest, BookmarkPageListsAddsAndPlaysThenTheSearchCloses) {
    auto d = dialog();
    d->chooseTab(LocalSearchTab::Bookmarks);
    BookmarkPage* page = d->bookmarks();
    ASSERT_EQ(page->list()->rowCount(), 2);
    EXPECT_EQ(page->list()->cell(0, 0), QStringLiteral("2023-11-15  08:05:00"));
    EXPECT_EQ(page->list()->cell(1, 1), QStringLiteral("Delivery"));

    page->findChild<SkinEdit*>(QStringLiteral("note"))->setText(QStringLiteral("Gate left open"));
    page->findChild<SkinButton*>(QStringLiteral("add"))->click();
    ASSERT_EQ(page->list()->rowCount(), 3);
    EXPECT_EQ(page->list()->cell(2, 1), QStringLiteral("Gate left open"));

    page->list()->setCurrentRow(1);
    page->findChild<SkinButton*>(QStringLiteral("play"))->click();
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0], kDay + 14 * 3600);
    EXPECT_TRUE(d->hub().closed());
}

TEST_F(LocalSearchDialogTest, ExportWindowSaysPlainlyWhenARangeHasNoKeyFrame) {
    auto d = dialog();
    ExportDialog* e = d->openExport();
    ASSERT_NE(e, nullptr);
    e->setChannels(0x20);  // channel 6 recorded nothing
    e->startExport();
    QTRY_VERIFY_WITH_TIMEOUT(!e->running() && e->statusText().contains(QStringLiteral("no key frame")), 20000);
    EXPECT_TRUE(QDir(QString::fromStdString((dir_.path() / "Saved").string())).entryList(QDir::Files).isEmpty());
}

class LocalSearchGallery : public LocalSearchDialogTest {
protected:
    void SetUp() override {
        gallery_ = qEnvironmentVariable("KALIX_GALLERY_DIR");
        if (gallery_.isEmpty()) GTEST_SKIP() << "set KALIX_GALLERY_DIR to write the gallery";
        ASSERT_TRUE(QDir().mkpath(gallery_));
        ASSERT_TRUE(loadResourceBundle(QStringLiteral(KALIX_BUNDLE)));
        LocalSearchDialogTest::SetUp();
    }
    void TearDown() override {
        if (!gallery_.isEmpty()) unloadResourceBundle();
    }
    void save(QWidget& w, const char* name) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        ASSERT_TRUE(w.grab().save(QDir(gallery_).filePath(QLatin1String(name) + QStringLiteral(".png"))));
    }
    QString gallery_;
};

TEST_F(LocalSearchGallery, LocalSearchWindows) {
    auto d = dialog();
    d->chooseTab(LocalSearchTab::Calendar);
    QTRY_VERIFY(d->calendar() != nullptr);
    save(*d->calendar(), "local-search-calendar");
    d->calendar()->dayButton(14)->click();
    QTRY_VERIFY(d->timeline() != nullptr && d->timeline()->isVisible());
    save(*d->timeline(), "local-search-timeline");
    d->timeline()->hide();
    d->chooseTab(LocalSearchTab::Event);
    QTRY_VERIFY(d->eventList() != nullptr && d->eventList()->list()->rowCount() > 0);
    save(*d->eventList(), "local-search-events");
    d->eventList()->hide();
    d->chooseTab(LocalSearchTab::Bookmarks);
    save(*d, "local-search-bookmarks");
    ExportDialog* e = d->openExport();
    e->setChannels(0x3);
    e->setRange(kDay + 8 * 3600, kDay + 9 * 3600);
    e->startExport();
    QTRY_VERIFY_WITH_TIMEOUT(!e->running() && !e->statusText().isEmpty(), 20000);
    save(*e, "local-search-export");
}

}  // namespace
}  // namespace kalix::ui
