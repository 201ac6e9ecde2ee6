// Pictures of the local setup, connect and address book dialogs with the
// resource bundle, for a person to look at. Runs only when
// KALIX_GALLERY_DIR names the folder to write into:
//
//   KALIX_GALLERY_DIR=/tmp/gallery QT_QPA_PLATFORM=offscreen
//   build/tests/ui/ui_tests --gtest_filter='DialogGallery*'
//
// (one command line).
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "ui/dialogs/address_book_dialog.h"
#include "ui/dialogs/connect_dialog.h"
#include "ui/dialogs/local_setup_dialog.h"
#include "ui/resource_bundle.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_check_button.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

class DialogGallery : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = qEnvironmentVariable("KALIX_GALLERY_DIR");
        if (dir_.isEmpty()) GTEST_SKIP() << "set KALIX_GALLERY_DIR to write the gallery";
        ASSERT_TRUE(QDir().mkpath(dir_));
        ASSERT_TRUE(loadResourceBundle(QStringLiteral(KALIX_BUNDLE)));
        ASSERT_TRUE(home_.isValid());
    }
    void TearDown() override { unloadResourceBundle(); }

    void save(QWidget& widget, const QString& name) {
        if (!widget.isVisible()) widget.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
        const QString file = QDir(dir_).filePath(name + QStringLiteral(".png"));
        ASSERT_TRUE(widget.grab().save(file)) << file.toStdString();
    }

    // A history of recorders connected to over the last weeks.
    app::ConnectHistory history() {
        app::ConnectHistory h(home_.path().toStdString(), [this] { return now_; });
        const struct {
            const char* address;
            std::uint32_t port;
            const char* description;
        } recorders[] = {
            {"192.168.1.64", 2000, "Head office, lobby"},
            {"warehouse.example.net", 2100, "Warehouse north gate"},
            {"10.20.0.17", 2000, "Car park"},
            {"192.168.7.3", 4100, "Branch 7, tills"},
            {"dvr-yard.local", 2000, "Yard and loading bay"},
        };
        for (const auto& r : recorders) {
            now_ += 86'400 * 3 + 3'600;
            h.record(r.address, r.port, r.description);
        }
        h.load();
        return h;
    }

    template <typename T>
    static T* child(QWidget& dialog, const QString& name) {
        return dialog.findChild<T*>(name);
    }

    QString dir_;
    QTemporaryDir home_;
    std::time_t now_ = 1'717'000'000;
};

TEST_F(DialogGallery, LocalSetupPages) {
    app::LocalSettings live;
    live.location = "/home/operator/Kalix";
    live.date_format = app::DateFormat::DayMonthYear;
    live.opacity = {255, 230, 255, 210, 240, 200, 255, 255, 180};
    live.audio_buffer = {8, 16, 2};
    live.deinterlace[2] = 1;
    live.deinterlace[9] = 1;
    live.deinterlace[10] = 1;
    LocalSetupDialog dialog(live, app::StorageMode::Writable, app::DrawModeRow::Enabled);
    save(dialog, QStringLiteral("setup-global"));

    dialog.showPage(LocalSetupDialog::Page::Opacity);
    for (int row : {1, 3, 5}) child<SkinCheckButton>(dialog, QStringLiteral("opacity-check-%1").arg(row))->click();
    save(dialog, QStringLiteral("setup-opacity"));

    dialog.showPage(LocalSetupDialog::Page::AudioBuffer);
    child<SkinCheckButton>(dialog, QStringLiteral("audio-check-0"))->click();
    save(dialog, QStringLiteral("setup-audio"));

    dialog.showPage(LocalSetupDialog::Page::Deinterlace);
    for (int row : {9, 10}) child<SkinCheckButton>(dialog, QStringLiteral("deinterlace-check-%1").arg(row))->click();
    save(dialog, QStringLiteral("setup-deinterlace"));

    // With pictures on the wall, from a disc: no location, draw mode fixed.
    LocalSetupDialog busy(live, app::StorageMode::ReadOnlyMedium, app::DrawModeRow::Disabled);
    save(busy, QStringLiteral("setup-global-cd"));
}

TEST_F(DialogGallery, ConnectDialog) {
    app::MemorySettingsStore store;
    store.writeText(app::kServerIpKey, "192.168.1.64");
    app::ConnectHistory h = history();
    ConnectDialog dialog(store, h);
    child<SkinEdit>(dialog, QStringLiteral("user"))->setText(QStringLiteral("admin"));
    child<SkinEdit>(dialog, QStringLiteral("password"))->setText(QStringLiteral("1234"));
    save(dialog, QStringLiteral("connect"));

    dialog.fill({"warehouse.example.net", 2100, "operator", "", "Warehouse north gate"});
    save(dialog, QStringLiteral("connect-port"));
}

TEST_F(DialogGallery, AddressBook) {
    app::ConnectHistory h = history();
    AddressBookDialog book(h, app::DateFormat::YearMonthDay);
    save(book, QStringLiteral("address-book-empty-choice"));
    child<SkinListBox>(book, QStringLiteral("list"))->setCurrentRow(1);
    save(book, QStringLiteral("address-book"));
    child<SkinButton>(book, QStringLiteral("edit"))->click();
    save(book, QStringLiteral("address-book-editing"));
}

}  // namespace
}  // namespace kalix::ui
