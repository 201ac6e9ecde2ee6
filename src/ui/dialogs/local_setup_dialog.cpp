#include "ui/dialogs/local_setup_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QResizeEvent>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <vector>

#include "app/string_uses.h"
#include "ui/operator_text.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_check_button.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {

namespace {

// String numbers of the dialog's texts.
constexpr std::uint16_t kTitleText = app::stringNumber("local setup: title");
constexpr std::uint16_t kPageTexts[] = {
    app::stringNumber("local setup: pages", 0), app::stringNumber("local setup: pages", 1),
    app::stringNumber("local setup: pages", 2), app::stringNumber("local setup: pages", 3)};
constexpr std::uint16_t kCheckAllText = app::stringNumber("local setup: check all");
constexpr std::uint16_t kClearAllText = app::stringNumber("local setup: clear all");
constexpr std::uint16_t kCloseText = app::stringNumber("local setup: close");
constexpr std::uint16_t kGlobalRowTexts[] = {
    app::stringNumber("local setup: global rows", 0), app::stringNumber("local setup: global rows", 1),
    app::stringNumber("local setup: global rows", 2), app::stringNumber("local setup: global rows", 3),
    app::stringNumber("local setup: global rows", 4), app::stringNumber("local setup: global rows", 5)};
constexpr std::uint16_t kFolderTitleText = app::stringNumber("folder browser: title");
constexpr std::uint16_t kOpacityRowFirst = app::stringNumber("opacity slots");
constexpr std::uint16_t kAudioRowFirst = app::stringNumber("audio buffers");
constexpr std::uint16_t kOnText = app::stringNumber("on"), kOffText = app::stringNumber("off");
constexpr std::uint16_t kOkText = app::stringNumber("ok"), kCancelText = app::stringNumber("cancel");

constexpr int kPageButtonWidth = 104, kButtonHeight = 24, kDialogButtonWidth = 76;
constexpr int kChoiceWidth = 200, kLocationWidth = 380;
constexpr int kSliderWidth = 300, kSliderHeight = 16, kValueWidth = 34, kRowNameWidth = 190;
constexpr int kSwitchWidth = 52;
constexpr int kDeinterlaceColumnRows = 8;

const char* const kPageNames[] = {"global", "opacity", "audio", "deinterlace"};
const char* const kGlobalRowNames[] = {"row-draw-mode", "row-date-format", "row-save-format",
                                       "row-location",  "row-hour-system", "row-watermark"};

const char* linkedName(app::LinkedPage page) {
    switch (page) {
        case app::LinkedPage::Opacity: return "opacity";
        case app::LinkedPage::AudioBuffer: return "audio";
        case app::LinkedPage::Deinterlace: return "deinterlace";
    }
    return "";
}

QString numbered(const char* prefix, const char* what, std::size_t row) {
    return QStringLiteral("%1-%2-%3").arg(QLatin1String(prefix), QLatin1String(what)).arg(row);
}

// One entry of a global row's drop-down list: its text and the value it
// stands for.
struct Choice {
    QString text;
    int value;
};

struct ChoiceList {
    std::vector<Choice> choices;
    int width;  // of the drop-down list, in pixels
};

// The well of the page area: a sunken panel one shade darker than the
// dialog, so the pages read as one block under their selector.
class PageWell final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        using namespace skin_colour;
        QPainter painter(this);
        const QRect r = rect().adjusted(0, 0, -1, -1);
        painter.fillRect(r, QColor(kPanelBottom));
        painter.setPen(QColor(kEdgeDark));
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(QColor(kEdgeLight));
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    }
};

SkinButton* makeButton(int control, int face, const QString& caption, QSize size, QWidget* parent) {
    auto* button = new SkinButton(control, face, caption, parent);
    applySkin(*button, SkinFont::Bold);
    button->setFixedSize(size);
    return button;
}

QString defaultFolderChooser(QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start.isEmpty() ? QDir::homePath() : start,
                                             QFileDialog::ShowDirsOnly);
}

}  // namespace

LocalSetupDialog::LocalSetupDialog(const app::LocalSettings& live, app::StorageMode storage, app::DrawModeRow row,
                                   QWidget* parent)
    : SkinDialog(parent),
      live_(live),
      storage_(storage),
      model_(live, storage, row),
      edited_(live),
      choose_folder_(defaultFolderChooser) {
    setTitle(operatorText(kTitleText));
    setFixedSize(kWidth, kHeight);
    setOpacityByte(live.alpha(app::OpacitySlot::LocalSetup));

    close_ = new SkinButton(0, skin::kQuit, QStringLiteral("X"), this);
    close_->setObjectName(QStringLiteral("close"));
    close_->setFixedSize(20, 18);
    close_->setTooltipId(kCloseText);
    connect(close_, &SkinButton::clicked, this, &LocalSetupDialog::reject);

    auto* selector = new QHBoxLayout;
    selector->setSpacing(4);
    for (std::size_t i = 0; i < page_buttons_.size(); ++i) {
        auto* button = makeButton(0, skin::kWideButton, operatorText(kPageTexts[i]),
                                  {kPageButtonWidth, kButtonHeight}, this);
        button->setObjectName(QStringLiteral("page-%1").arg(QLatin1String(kPageNames[i])));
        connect(button, &SkinButton::clicked, this, [this, i] { showPage(static_cast<Page>(i)); });
        selector->addWidget(button);
        page_buttons_[i] = button;
    }
    selector->addStretch();

    auto* well = new PageWell(this);
    stack_ = new QStackedWidget(well);
    auto* well_layout = new QVBoxLayout(well);
    well_layout->setContentsMargins(16, 14, 16, 12);
    well_layout->addWidget(stack_);

    auto* ok = makeButton(1, skin::kSmallButton, operatorText(kOkText), {kDialogButtonWidth, kButtonHeight}, this);
    ok->setObjectName(QStringLiteral("ok"));
    connect(ok, &SkinButton::clicked, this, &LocalSetupDialog::accept);
    auto* cancel =
        makeButton(2, skin::kSmallButton, operatorText(kCancelText), {kDialogButtonWidth, kButtonHeight}, this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(cancel, &SkinButton::clicked, this, &LocalSetupDialog::reject);
    auto* answers = new QHBoxLayout;
    answers->addStretch();
    answers->addWidget(ok);
    answers->addWidget(cancel);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 6, 4, 2);  // inside the dialog's own margins
    column->setSpacing(8);
    column->addLayout(selector);
    column->addWidget(well, 1);
    column->addLayout(answers);

    showPage(Page::Global);
}

LocalSetupDialog::~LocalSetupDialog() = default;

QWidget* LocalSetupDialog::page(Page which) const { return pages_[static_cast<std::size_t>(which)]; }

void LocalSetupDialog::showPage(Page which) {
    const auto index = static_cast<std::size_t>(which);
    if (pages_[index] == nullptr) {
        switch (which) {
            case Page::Global: pages_[index] = buildGlobalPage(); break;
            case Page::Opacity: pages_[index] = buildSliderPage(app::LinkedPage::Opacity); break;
            case Page::AudioBuffer: pages_[index] = buildSliderPage(app::LinkedPage::AudioBuffer); break;
            case Page::Deinterlace: pages_[index] = buildDeinterlacePage(); break;
        }
        stack_->addWidget(pages_[index]);
    }
    stack_->setCurrentWidget(pages_[index]);
    current_ = which;
    for (std::size_t i = 0; i < page_buttons_.size(); ++i) page_buttons_[i]->setShownPressed(i == index);
}

// ---------------------------------------------------------------- global page

namespace {

// The global rows by index, in the order the page shows them.
enum GlobalIndex : std::size_t { kDrawModeRow, kDateFormatRow, kSaveFormatRow, kLocationRow, kHourSystemRow, kWatermarkRow };

ChoiceList choicesOf(std::size_t row) {
    switch (row) {
        case kDrawModeRow: return {{{QStringLiteral("YUV"), 0}, {QStringLiteral("RGB"), 1}}, 100};
        case kDateFormatRow: return {{{operatorText(app::stringNumber("date formats", 0)), 0},
                                      {operatorText(app::stringNumber("date formats", 1)), 1},
                                      {operatorText(app::stringNumber("date formats", 2)), 2}},
                                     180};
        case kSaveFormatRow: return {{{QStringLiteral("JPEG"), 0}, {QStringLiteral("BMP"), 1}, {QStringLiteral("TIF"), 2}}, 100};
        case kHourSystemRow: return {{{operatorText(app::stringNumber("hour systems", 0)), 0},
                                      {operatorText(app::stringNumber("hour systems", 1)), 1}},
                                     150};
        case kWatermarkRow: return {{{operatorText(kOffText), 0}, {operatorText(kOnText), 1}}, 100};
        default: return {{}, 0};
    }
}

int currentChoice(std::size_t row, const app::LocalSettings& s) {
    switch (row) {
        case kDrawModeRow: return static_cast<int>(s.draw_mode);
        case kDateFormatRow: return static_cast<int>(s.date_format);
        case kSaveFormatRow: return static_cast<int>(s.save_format);
        case kHourSystemRow: return static_cast<int>(s.hour_system);
        case kWatermarkRow: return s.watermark ? 1 : 0;
        default: return -1;
    }
}

}  // namespace

QWidget* LocalSetupDialog::buildGlobalPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(4, 6, 4, 4);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(14);
    grid->setColumnMinimumWidth(0, 130);
    int line = 0;
    for (std::size_t i = 0; i < kGlobalRows; ++i) {
        const auto row = static_cast<GlobalRow>(i);
        if (row == GlobalRow::Location && !model_.locationShown()) continue;
        auto* name = new SkinStatic(operatorText(kGlobalRowTexts[i]), page, SkinFont::Bold);
        const int width = row == GlobalRow::Location ? kLocationWidth : kChoiceWidth;
        auto* button = makeButton(0, skin::kWideButton, {}, {width, kButtonHeight}, page);
        button->setObjectName(QLatin1String(kGlobalRowNames[i]));
        if (row == GlobalRow::DrawMode) button->setEnabled(model_.drawModeEditable());
        if (row == GlobalRow::Location)
            connect(button, &SkinButton::clicked, this, &LocalSetupDialog::chooseFolder);
        else
            connect(button, &SkinButton::clicked, this, [this, row] { openChoices(row); });
        grid->addWidget(name, line, 0, Qt::AlignLeft | Qt::AlignVCenter);
        grid->addWidget(button, line, 1, Qt::AlignLeft | Qt::AlignVCenter);
        global_rows_[i] = button;
        ++line;
    }
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(line, 1);
    refreshGlobal();
    return page;
}

void LocalSetupDialog::openChoices(GlobalRow row) {
    const auto index = static_cast<std::size_t>(row);
    SkinButton* button = global_rows_[index];
    const ChoiceList list = choicesOf(index);
    if (button == nullptr || list.choices.empty()) return;

    // One list at a time; it goes away with the next one or with the dialog.
    delete findChild<QMenu*>(QStringLiteral("choices"), Qt::FindDirectChildrenOnly);
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("choices"));
    applySkin(*menu);
    menu->setMinimumWidth(list.width);
    const int current = currentChoice(index, model_.copy());
    for (const Choice& choice : list.choices) {
        QAction* action = menu->addAction(choice.text);
        action->setCheckable(true);
        action->setChecked(choice.value == current);
        connect(action, &QAction::triggered, this, [this, row, value = choice.value] {
            switch (row) {
                case GlobalRow::DrawMode: model_.setDrawMode(static_cast<app::DrawMode>(value)); break;
                case GlobalRow::DateFormat: model_.setDateFormat(static_cast<app::DateFormat>(value)); break;
                case GlobalRow::SaveFormat: model_.setSaveFormat(static_cast<app::SaveFormat>(value)); break;
                case GlobalRow::HourSystem: model_.setHourSystem(static_cast<app::HourSystem>(value)); break;
                case GlobalRow::Watermark: model_.setWatermark(value != 0); break;
                case GlobalRow::Location: break;
            }
            refreshGlobal();
        });
    }
    menu->popup(button->mapToGlobal(QPoint(0, button->height())));
}

void LocalSetupDialog::chooseFolder() {
    if (!model_.locationShown() || !choose_folder_) return;
    const QString path = choose_folder_(this, operatorText(kFolderTitleText),
                                        QString::fromStdString(model_.copy().location));
    // A cancelled browser gives nothing and the location stays.
    if (model_.setLocation(path.toStdString())) refreshGlobal();
}

void LocalSetupDialog::refreshGlobal() {
    const app::LocalSettings& copy = model_.copy();
    for (std::size_t i = 0; i < kGlobalRows; ++i) {
        SkinButton* button = global_rows_[i];
        if (button == nullptr) continue;
        if (static_cast<GlobalRow>(i) == GlobalRow::Location) {
            button->setText(QString::fromStdString(copy.location));
            button->setToolTip(button->text());
            continue;
        }
        const int current = currentChoice(i, copy);
        for (const Choice& choice : choicesOf(i).choices)
            if (choice.value == current) button->setText(choice.text);
    }
}

// ---------------------------------------------------------------- linked pages

LocalSetupDialog::LinkedRows& LocalSetupDialog::rowsOf(app::LinkedPage page) {
    return linked_[static_cast<std::size_t>(page)];
}

QWidget* LocalSetupDialog::linkedButtons(app::LinkedPage page, QWidget* parent) {
    auto* bar = new QWidget(parent);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    const char* name = linkedName(page);
    auto* all = makeButton(0, skin::kWideButton, operatorText(kCheckAllText), {kPageButtonWidth, kButtonHeight}, bar);
    all->setObjectName(QStringLiteral("%1-check-all").arg(QLatin1String(name)));
    auto* none = makeButton(0, skin::kWideButton, operatorText(kClearAllText), {kPageButtonWidth, kButtonHeight}, bar);
    none->setObjectName(QStringLiteral("%1-clear-all").arg(QLatin1String(name)));
    const auto set_all = [this, page](bool on) {
        if (on)
            model_.checkAll(page);
        else
            model_.clearAll(page);
        LinkedRows& rows = rowsOf(page);
        for (std::size_t row = 0; row < rows.count; ++row) rows.rows[row].check->setChecked(model_.checked(page, row));
    };
    connect(all, &SkinButton::clicked, this, [set_all] { set_all(true); });
    connect(none, &SkinButton::clicked, this, [set_all] { set_all(false); });
    layout->addWidget(all);
    layout->addWidget(none);
    layout->addStretch();
    return bar;
}

QWidget* LocalSetupDialog::buildSliderPage(app::LinkedPage which) {
    const bool opacity = which == app::LinkedPage::Opacity;
    const char* name = linkedName(which);
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(4, 6, 4, 4);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(opacity ? 10 : 14);

    LinkedRows& rows = rowsOf(which);
    rows.count = app::linkedRows(which);
    for (std::size_t i = 0; i < rows.count; ++i) {
        LinkedRow& row = rows.rows[i];
        const auto text_id = static_cast<std::uint16_t>((opacity ? kOpacityRowFirst : kAudioRowFirst) + i);
        row.check = new SkinCheckButton(operatorText(text_id), page);
        row.check->setObjectName(numbered(name, "check", i));
        row.check->setMinimumWidth(kRowNameWidth);
        row.check->setChecked(model_.checked(which, i));
        connect(row.check, &SkinCheckButton::toggled, this,
                [this, which, i](bool on) { model_.setChecked(which, i, on); });

        row.slider = new SkinSlider(0, skin::kSliderTrack, skin::kSliderThumb, page);
        row.slider->setObjectName(numbered(name, "slider", i));
        row.slider->setFixedSize(kSliderWidth, kSliderHeight);
        if (opacity)
            row.slider->setRange(app::kMinOpacity, app::kOpaque);
        else
            row.slider->setRange(0, app::kMaxAudioBuffer);  // 0 and 1 are raised to 2 at once
        connect(row.slider, &SkinSlider::sliderMessage, this,
                [this, which, i](SliderMessage message, int, int position) {
                    sliderMoved(which, i, message, position);
                });

        row.value = new SkinStatic({}, page, SkinFont::Bold);
        row.value->setObjectName(numbered(name, "value", i));
        row.value->setFixedWidth(kValueWidth);
        row.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

        const int line = static_cast<int>(i);
        grid->addWidget(row.check, line, 0);
        grid->addWidget(row.slider, line, 1);
        grid->addWidget(row.value, line, 2);
    }
    const int after = static_cast<int>(rows.count);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(after, 1);
    grid->addWidget(linkedButtons(which, page), after + 1, 0, 1, 4);
    refreshLinked(which);
    return page;
}

QWidget* LocalSetupDialog::buildDeinterlacePage() {
    const app::LinkedPage which = app::LinkedPage::Deinterlace;
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(4, 6, 4, 4);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);

    LinkedRows& rows = rowsOf(which);
    rows.count = app::linkedRows(which);
    for (std::size_t i = 0; i < rows.count; ++i) {
        LinkedRow& row = rows.rows[i];
        row.check = new SkinCheckButton(QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')), page);
        row.check->setObjectName(numbered("deinterlace", "check", i));
        row.check->setChecked(model_.checked(which, i));
        connect(row.check, &SkinCheckButton::toggled, this,
                [this, i](bool on) { model_.setChecked(app::LinkedPage::Deinterlace, i, on); });
        row.on = makeButton(0, skin::kSmallButton, operatorText(kOnText), {kSwitchWidth, 22}, page);
        row.on->setObjectName(numbered("deinterlace", "on", i));
        row.off = makeButton(0, skin::kSmallButton, operatorText(kOffText), {kSwitchWidth, 22}, page);
        row.off->setObjectName(numbered("deinterlace", "off", i));
        for (const bool on : {true, false}) {
            connect(on ? row.on : row.off, &SkinButton::clicked, this, [this, i, on] {
                model_.setDeinterlace(i, on);
                refreshLinked(app::LinkedPage::Deinterlace);
            });
        }
        // Two columns of eight channels: check box, On, Off, then a gap.
        const int line = static_cast<int>(i) % kDeinterlaceColumnRows;
        const int column = static_cast<int>(i) / kDeinterlaceColumnRows * 4;
        grid->addWidget(row.check, line, column);
        grid->addWidget(row.on, line, column + 1);
        grid->addWidget(row.off, line, column + 2);
    }
    grid->setColumnMinimumWidth(3, 48);
    grid->setColumnStretch(7, 1);
    grid->setRowStretch(kDeinterlaceColumnRows, 1);
    grid->addWidget(linkedButtons(which, page), kDeinterlaceColumnRows + 1, 0, 1, 8);
    refreshLinked(which);
    return page;
}

void LocalSetupDialog::sliderMoved(app::LinkedPage page, std::size_t row, SliderMessage message, int position) {
    if (message == SliderMessage::Grabbed) return;
    if (page == app::LinkedPage::Opacity)
        model_.moveOpacity(row, position);
    else
        model_.moveAudioBuffer(row, position);
    refreshLinked(page);
}

void LocalSetupDialog::refreshLinked(app::LinkedPage page) {
    const app::LocalSettings& copy = model_.copy();
    LinkedRows& rows = rowsOf(page);
    for (std::size_t i = 0; i < rows.count; ++i) {
        LinkedRow& row = rows.rows[i];
        if (page == app::LinkedPage::Deinterlace) {
            const bool on = model_.deinterlaceOn(i);
            row.on->setShownPressed(on);
            row.off->setShownPressed(!on);
            continue;
        }
        const int value = page == app::LinkedPage::Opacity ? copy.opacity[i] : copy.audio_buffer[i];
        row.slider->setValue(value);
        row.value->setText(QString::number(value));
    }
}

// ---------------------------------------------------------------- closing

void LocalSetupDialog::accept() {
    edited_ = live_;
    outcome_ = app::acceptLocalSetup(edited_, model_.copy(), storage_);
    SkinDialog::accept();
}

void LocalSetupDialog::reject() {
    model_.reset(live_);
    edited_ = live_;
    outcome_.reset();
    SkinDialog::reject();
}

void LocalSetupDialog::resizeEvent(QResizeEvent* event) {
    close_->move(width() - close_->width() - 6, 5);
    SkinDialog::resizeEvent(event);
}

}  // namespace kalix::ui
