#pragma once
// The local setup dialog: the operator's preferences on four pages (Global,
// Opacity, Audio buffer, Deinterlace) chosen by the buttons along the top.
// Each page is built the first time it is chosen and kept until the dialog
// closes.
//
// The dialog edits a copy (LocalSetupModel) and never the caller's block.
// On the opacity, audio buffer and deinterlace pages every row has a check
// box; changing a checked row changes every checked row of the page.
//
// OK hands the copy over: edited() is the caller's block with the changes
// in it and outcome() says what else the caller has to do (rebuild the
// wall, save, make the upgrade folder, log the change; finishLocalSetup()
// does the last three). Cancel and Close leave outcome() empty.
//
// Controls carry object names for tests and screenshots: "page-global",
// "page-opacity", "page-audio", "page-deinterlace", "ok", "cancel", "close";
// on the global page "row-draw-mode", "row-date-format", "row-save-format",
// "row-location", "row-hour-system", "row-watermark"; on the linked pages
// "<page>-check-N", "<page>-slider-N", "<page>-value-N" (N from 0),
// "<page>-check-all", "<page>-clear-all" with <page> one of "opacity",
// "audio", "deinterlace", and "deinterlace-on-N", "deinterlace-off-N".

#include <QString>

#include <array>
#include <functional>
#include <optional>

#include "app/local_settings.h"
#include "ui/skin/skin_dialog.h"
#include "ui/skin/skin_slider.h"

class QStackedWidget;

namespace kalix::ui {

class SkinButton;
class SkinCheckButton;
class SkinStatic;

class LocalSetupDialog final : public SkinDialog {
    Q_OBJECT

public:
    enum class Page : std::uint8_t { Global, Opacity, AudioBuffer, Deinterlace };
    static constexpr int kWidth = 618;
    static constexpr int kHeight = 546;

    // `row` Disabled: the wall shows something, the draw mode stays.
    LocalSetupDialog(const app::LocalSettings& live, app::StorageMode storage, app::DrawModeRow row,
                     QWidget* parent = nullptr);
    ~LocalSetupDialog() override;

    // The folder browser of the location row: returns the chosen folder, or
    // an empty text when the operator cancels. A file dialog by default.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& title, const QString& start)>;
    void setFolderChooser(FolderChooser chooser) { choose_folder_ = std::move(chooser); }

    void showPage(Page page);
    Page currentPage() const { return current_; }
    // The page's widget; null until it was first shown.
    QWidget* page(Page page) const;

    const app::LocalSetupModel& model() const { return model_; }
    const std::optional<app::LocalSetupOutcome>& outcome() const { return outcome_; }
    // The caller's block as it was handed in, with the edits in it after OK.
    const app::LocalSettings& edited() const { return edited_; }

    void accept() override;
    void reject() override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct LinkedRow {
        SkinCheckButton* check = nullptr;
        SkinSlider* slider = nullptr;   // opacity and audio buffer
        SkinStatic* value = nullptr;    // the slider's value as text
        SkinButton* on = nullptr;       // deinterlace
        SkinButton* off = nullptr;
    };
    struct LinkedRows {
        std::array<LinkedRow, app::kDeinterlaceChannels> rows{};
        std::size_t count = 0;
    };
    enum class GlobalRow : std::uint8_t { DrawMode, DateFormat, SaveFormat, Location, HourSystem, Watermark };
    static constexpr std::size_t kGlobalRows = 6;

    QWidget* buildGlobalPage();
    QWidget* buildSliderPage(app::LinkedPage page);
    QWidget* buildDeinterlacePage();
    QWidget* linkedButtons(app::LinkedPage page, QWidget* parent);

    void openChoices(GlobalRow row);
    void chooseFolder();
    void sliderMoved(app::LinkedPage page, std::size_t row, SliderMessage message, int position);
    void refreshGlobal();
    void refreshLinked(app::LinkedPage page);
    LinkedRows& rowsOf(app::LinkedPage page);

    const app::LocalSettings live_;
    const app::StorageMode storage_;
    app::LocalSetupModel model_;
    app::LocalSettings edited_;
    std::optional<app::LocalSetupOutcome> outcome_;
    FolderChooser choose_folder_;

    Page current_ = Page::Global;
    std::array<SkinButton*, 4> page_buttons_{};
    std::array<QWidget*, 4> pages_{};
    QStackedWidget* stack_ = nullptr;
    SkinButton* close_ = nullptr;
    std::array<SkinButton*, kGlobalRows> global_rows_{};
    std::array<LinkedRows, 3> linked_{};
};

}  // namespace kalix::ui
