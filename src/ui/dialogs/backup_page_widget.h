#pragma once
// The Backup tab's page: the range as a start and an end date and time on
// the recorder's clock, the channels, "Calculate" with the size the
// recorder answers, and "Backup". What the controls do lives in
// app::BackupPage.
//
// Object names for tests and screenshots: "backup-from", "backup-to",
// "backup-channel-N", "calculate", "capacity", "backup".

#include <QWidget>

#include <vector>

#include "app/backup_page.h"

class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QProgressBar;
class QPushButton;

namespace kalix::ui {

class BackupPageWidget final : public QWidget {
    Q_OBJECT

public:
    BackupPageWidget(app::BackupRequests& requests, int channel_count, std::function<void(session::Notice)> notice,
                     std::function<std::optional<std::int64_t>()> free_mib, QWidget* parent = nullptr);

    app::BackupPage& model() { return model_; }
    void onSize(const session::DownloadSize& size);
    // The range shown, for the demo and tests.
    void setRange(protocol::RecorderTime from, protocol::RecorderTime to);

signals:
    // "Backup" started the transfer: the search window closes.
    void backupStarted();

private:
    void rangeEdited();
    void refresh();

    app::BackupPage model_;
    QDateTimeEdit* from_ = nullptr;
    QDateTimeEdit* to_ = nullptr;
    std::vector<QCheckBox*> channels_;
    QPushButton* calculate_ = nullptr;
    QLabel* capacity_ = nullptr;
    QPushButton* backup_ = nullptr;
};

// The download's progress window: a bar from 0 to the expected KiB and
// "Stop". Object names "download-progress", "progress-bar", "stop".
class DownloadProgressWindow final : public QWidget {
    Q_OBJECT

public:
    explicit DownloadProgressWindow(QWidget* parent = nullptr);
    void show(const app::DownloadProgress& progress);

signals:
    void stopPressed();

private:
    QProgressBar* bar_ = nullptr;
    QLabel* text_ = nullptr;
};

}  // namespace kalix::ui
