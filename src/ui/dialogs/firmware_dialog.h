#pragma once
// The upgrade window: one row per firmware module with its check box, its
// label, a progress bar and a status, and Start / Stop / Close. The
// behaviour is app::FirmwareUpgrade's; the window shows it and forwards the
// operator's presses and the session's events.
//
// Object names: "row-K-check", "row-K-progress", "row-K-status" (K from 1),
// "start", "stop", "close".

#include <span>

#include <memory>
#include <vector>

#include "app/firmware_upgrade.h"
#include "ui/skin/skin_dialog.h"

class QCheckBox;
class QProgressBar;

namespace kalix::ui {

class SkinButton;
class SkinStatic;

class FirmwareDialog final : public SkinDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 560;

    FirmwareDialog(const app::FirmwareScan& scan, std::span<const app::RecorderModule> modules,
                   app::FirmwareLink& link, QWidget* parent);
    ~FirmwareDialog() override;

    // The session's events for this window (window messages 21034-21039 and
    // the upload's progress); others are ignored.
    void onEvent(const session::Event& event);
    const app::FirmwareUpgrade& model() const { return *model_; }
    app::FirmwareUpgrade& model() { return *model_; }
    void refresh();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct RowWidgets {
        QCheckBox* check = nullptr;
        SkinStatic* label = nullptr;
        QProgressBar* progress = nullptr;
        SkinStatic* status = nullptr;
    };

    std::unique_ptr<app::FirmwareUpgrade> model_;
    std::vector<RowWidgets> rows_;
    SkinButton* start_ = nullptr;
    SkinButton* stop_ = nullptr;
    bool refreshing_ = false;
};

}  // namespace kalix::ui
