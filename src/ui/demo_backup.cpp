#include "ui/demo_backup.h"

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QPushButton>

#include <cstdio>

#include "ui/dialogs/backup_page_widget.h"
#include "ui/dialogs/remote_search_dialog.h"
#include "ui/main_window.h"
#include "ui/skin/skin_button.h"

namespace kalix::ui {
namespace {

constexpr int kPollMs = 250;
constexpr int kGiveUpPolls = 80;  // 20 s for any one stage

// The demo recorder keeps the PC's local time: its clock read as UTC.
protocol::RecorderTime recorderNow() {
    const QDateTime local = QDateTime::currentDateTime();
    return static_cast<protocol::RecorderTime>(QDateTime(local.date(), local.time(), Qt::UTC).toSecsSinceEpoch());
}

}  // namespace

DemoBackupScript::DemoBackupScript(MainWindow& window, QString folder)
    : QObject(&window), window_(window), folder_(std::move(folder)) {
    QDir().mkpath(folder_);
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, [this] { step(); });
    timer_.start();
}

void DemoBackupScript::save(QWidget& widget, const char* name) {
    const QString file = QDir(folder_).filePath(QLatin1String(name) + QStringLiteral(".png"));
    if (!widget.grab().save(file, "PNG")) std::fprintf(stderr, "kalix: cannot write %s\n", qPrintable(file));
}

void DemoBackupScript::step() {
    if (++waited_ > kGiveUpPolls) {
        std::fprintf(stderr, "kalix: the demo backup stopped waiting at stage %d\n", stage_);
        timer_.stop();
        return;
    }
    RemoteSearchDialog* dialog = window_.remoteSearchDialog();
    const auto next = [this] {
        ++stage_;
        waited_ = 0;
    };
    switch (stage_) {
        case 0:  // logged in: RSearch
            if (window_.controller().session() == nullptr || !window_.controller().session()->identity()) return;
            window_.controller().press(app::ControlId::RSearch);
            return next();
        case 1:  // the dialog: its Backup tab
            if (dialog == nullptr || !dialog->isVisible()) return;
            if (auto* tab = dialog->findChild<SkinButton*>(QStringLiteral("tab-backup"))) tab->click();
            return next();
        case 2: {  // the Backup page: a minute of every channel, then Calculate
            BackupPageWidget* page = dialog ? dialog->backupPage() : nullptr;
            if (page == nullptr || !page->isVisible()) return;
            const protocol::RecorderTime now = recorderNow();
            page->setRange(now - 120, now - 60);
            if (auto* calculate = page->findChild<QPushButton*>(QStringLiteral("calculate"))) calculate->click();
            return next();
        }
        case 3: {  // the size is in: the page, then Backup
            BackupPageWidget* page = dialog ? dialog->backupPage() : nullptr;
            auto* capacity = page ? page->findChild<QLabel*>(QStringLiteral("capacity")) : nullptr;
            if (capacity == nullptr || capacity->text().isEmpty()) return;
            save(*dialog, "backup-calculated");
            if (auto* backup = page->findChild<QPushButton*>(QStringLiteral("backup"))) backup->click();
            return next();
        }
        case 4: {  // the transfer runs: its progress window
            auto* progress = window_.findChild<DownloadProgressWindow*>(QStringLiteral("download-progress"));
            if (progress == nullptr || !progress->isVisible()) return;
            save(*progress, "backup-progress");
            timer_.stop();
            return;
        }
        default: timer_.stop();
    }
}

}  // namespace kalix::ui
