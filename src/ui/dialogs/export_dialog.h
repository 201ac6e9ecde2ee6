#pragma once
// The export window of the local search: a time range (From, To), the
// channels, the folder the files go to, Export and Stop, a progress bar and
// a line that says what happened: one MP4 file per channel, or the reason a
// channel gave none (a range without a key frame says so plainly).
//
// The work runs in app::ExportJob on its own thread; its reports come back
// to this window's thread as queued calls.
//
// Object names: "from", "to", "folder", "channel-N" (0-15), "export",
// "stop", "progress", "status".

#include <QPointer>

#include <array>
#include <filesystem>
#include <memory>

#include "app/export_job.h"
#include "ui/skin/skin_dialog.h"

class QDateTimeEdit;
class QProgressBar;

namespace kalix::ui {

class SkinButton;
class SkinCheckButton;
class SkinEdit;
class SkinStatic;

class ExportDialog final : public SkinDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 460;
    static constexpr int kHeight = 380;

    // `archive_folder`: the Download folder; `out_folder`: where files go by
    // default. The range starts as [from, to].
    ExportDialog(std::filesystem::path archive_folder, std::filesystem::path out_folder, std::uint32_t from,
                 std::uint32_t to, QWidget* parent = nullptr);
    ~ExportDialog() override;

    void setRange(std::uint32_t from, std::uint32_t to);
    void setChannels(std::uint32_t mask);
    void startExport();
    bool running() const { return job_.running(); }
    QString statusText() const;

private:
    void progress(const app::ExportJobProgress& p);
    void finished(const std::vector<app::ChannelExport>& results, bool cancelled);
    void setRunning(bool running);

    std::filesystem::path archive_folder_;
    QDateTimeEdit* from_ = nullptr;
    QDateTimeEdit* to_ = nullptr;
    SkinEdit* folder_ = nullptr;
    std::array<SkinCheckButton*, 16> channels_{};
    SkinButton* export_ = nullptr;
    SkinButton* stop_ = nullptr;
    QProgressBar* bar_ = nullptr;
    SkinStatic* status_ = nullptr;
    app::ExportJob job_;  // last: its thread ends before the widgets go
};

}  // namespace kalix::ui
