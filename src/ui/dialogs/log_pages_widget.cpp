#include "ui/dialogs/log_pages_widget.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/local_log.h"
#include "app/string_uses.h"
#include "ui/log_printing.h"
#include "ui/operator_text.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_catalogue.h"
#include "ui/skin/skin_style.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

constexpr std::uint16_t kPrintText = app::stringNumber("print");
constexpr std::uint16_t kPlayText = app::stringNumber("play");
constexpr std::uint16_t kDetailText = app::stringNumber("log pages: tabs; info pages: tabs; detail", 9);
constexpr std::uint16_t kFirstHeading = app::stringNumber("log pages: headings");
constexpr std::uint16_t kPreviewText = app::stringNumber("log pages: preview, pdf");
constexpr std::uint16_t kPdfText = app::stringNumber("log pages: preview, pdf", 1);
constexpr std::uint16_t kTimeHeading = app::stringNumber("date and time search: labels", 1);

const char* const kPageNames[] = {"log-all", "log-power", "log-record", "log-operation",
                                  "log-client", "log-event", "log-archive"};

SkinButton* makeButton(int control, const QString& caption, const char* name, QWidget* parent) {
    auto* b = new SkinButton(control, skin::kWideButton, caption, parent);
    applySkin(*b, SkinFont::Bold);
    b->setObjectName(QLatin1String(name));
    b->setFixedSize(97, 22);
    return b;
}

QStringList headings() {
    const auto heading = [](int i) { return operatorText(static_cast<std::uint16_t>(kFirstHeading + i)); };
    return {heading(0), operatorText(kTimeHeading), heading(1), heading(2), heading(3)};
}

template <std::size_t N>
QList<int> widths(const std::array<int, N>& w) {
    return QList<int>(w.begin(), w.end());
}

// Print, Preview and PDF, each drawing what `printout` gives at the time.
QHBoxLayout* printButtons(QWidget* page, std::function<app::Printout()> printout) {
    auto* row = new QHBoxLayout;
    auto* print = makeButton(460, operatorText(kPrintText), "log-print", page);
    auto* preview = makeButton(461, operatorText(kPreviewText), "log-preview", page);
    auto* pdf = makeButton(462, operatorText(kPdfText), "log-pdf", page);
    QObject::connect(print, &SkinButton::clicked, page, [page, printout] { printWithDialog(page, printout()); });
    QObject::connect(preview, &SkinButton::clicked, page, [page, printout] { previewPrintout(page, printout()); });
    QObject::connect(pdf, &SkinButton::clicked, page, [page, printout] { printToPdfWithDialog(page, printout()); });
    row->addWidget(print);
    row->addWidget(preview);
    row->addWidget(pdf);
    return row;
}

}  // namespace

void showRows(SkinListBox& list, const std::vector<app::ListRow>& rows) {
    std::vector<QStringList> cells;
    cells.reserve(rows.size());
    for (const auto& row : rows) {
        QStringList line;
        for (const auto& c : row.cols) line << QString::fromStdString(c);
        cells.push_back(std::move(line));
    }
    list.setRows(std::move(cells));
}

// ---------------------------------------------------------------- remote

LogTabPage::LogTabPage(LogTabDeps deps, QWidget* parent) : QWidget(parent), deps_(std::move(deps)) {
    auto* tabs = new QHBoxLayout;
    tabs->setSpacing(2);
    for (std::size_t i = 0; i < tabs_.size(); ++i) {
        const auto page = static_cast<app::LogPage>(i);
        auto* b = new SkinButton(450 + static_cast<int>(i), skin::kSmallButton, operatorText(app::logTabId(page)), this);
        applySkin(*b, SkinFont::Bold);
        b->setObjectName(QLatin1String(kPageNames[i]));
        b->setFixedSize(56, 22);
        connect(b, &SkinButton::clicked, this, [this, page] { choosePage(page); });
        tabs->addWidget(b);
        tabs_[i] = b;
    }
    list_ = new SkinListBox(this);
    list_->setObjectName(QStringLiteral("log-list"));
    list_->setColumns(headings(), widths(app::kRemoteLogColumns));
    connect(list_, &SkinListBox::currentRowChanged, this, [this](int) { refreshButtons(); });

    auto* buttons = printButtons(this, [this] { return printout(); });
    play_ = makeButton(463, operatorText(kPlayText), "log-play", this);
    detail_ = makeButton(464, operatorText(kDetailText), "log-detail", this);
    connect(play_, &SkinButton::clicked, this, [this] { play(); });
    connect(detail_, &SkinButton::clicked, this, [this] { showDetail(); });
    buttons->addStretch();
    buttons->addWidget(play_);
    buttons->addWidget(detail_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(2, 2, 2, 2);
    column->addLayout(tabs);
    column->addWidget(list_, 1);
    column->addLayout(buttons);
    choosePage(app::LogPage::All);
}

void LogTabPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The log is asked for once, when the page is first seen.
    if (!entries_ && !waiting_ && deps_.request_log) {
        waiting_ = true;
        deps_.request_log();
    }
}

void LogTabPage::choosePage(app::LogPage page) {
    page_ = page;
    for (std::size_t i = 0; i < tabs_.size(); ++i) tabs_[i]->setShownPressed(i == static_cast<std::size_t>(page));
    if (entries_) {
        model_.emplace(page, *entries_, deps_.date_format);
        showRows(*list_, model_->rows());
    } else {
        model_.reset();
        list_->clearRows();
    }
    refreshButtons();
}

void LogTabPage::onLogAnswer(const session::LogAnswer& answer) {
    if (!waiting_) return;
    waiting_ = false;
    if (answer.refused) return;
    entries_ = answer.entries;
    choosePage(page_);
}

app::Printout LogTabPage::printout() const {
    return app::layoutPrintout(page_, model_ ? model_->rows() : std::vector<app::ListRow>{});
}

void LogTabPage::refreshButtons() {
    const int row = list_->currentRow();
    const bool local_player = deps_.local_player_running && deps_.local_player_running();
    play_->setVisible(page_ == app::LogPage::Event);
    detail_->setVisible(page_ == app::LogPage::Operation);
    play_->setEnabled(deps_.play && model_ && row >= 0 &&
                      model_->playEnabled(static_cast<std::size_t>(row), local_player));
    detail_->setEnabled(model_ && row >= 0 && model_->detailEnabled(static_cast<std::size_t>(row)));
}

void LogTabPage::play() {
    const int row = list_->currentRow();
    if (!model_ || row < 0 || !deps_.play) return;
    const bool local_player = deps_.local_player_running && deps_.local_player_running();
    if (const auto request = model_->playRequest(static_cast<std::size_t>(row), local_player)) deps_.play(*request);
}

void LogTabPage::showDetail() {
    const int row = list_->currentRow();
    if (!model_ || row < 0) return;
    const auto rows = model_->detailRows(static_cast<std::size_t>(row));
    if (rows.empty()) return;
    auto* dialog = new QDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("log-detail-window"));
    dialog->setWindowTitle(operatorText(kDetailText));
    auto* list = new SkinListBox(dialog);
    list->setColumns(headings(), widths(app::kDetailColumns));
    showRows(*list, rows);
    auto* column = new QVBoxLayout(dialog);
    column->addWidget(list);
    dialog->resize(900, 300);
    dialog->show();
}

// ---------------------------------------------------------------- local

LocalLogPage::LocalLogPage(std::filesystem::path location, app::DateFormat format, QWidget* parent)
    : QWidget(parent), location_(std::move(location)), format_(format) {
    list_ = new SkinListBox(this);
    list_->setObjectName(QStringLiteral("local-log-list"));
    list_->setColumns(headings(), widths(app::kLocalLogColumns));
    auto* buttons = printButtons(this, [this] { return printout(); });
    buttons->addStretch();
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(2, 2, 2, 2);
    column->addWidget(list_, 1);
    column->addLayout(buttons);
    reload();
}

void LocalLogPage::reload() {
    rows_ = app::readLocalLog(location_, format_);
    showRows(*list_, rows_);
}

LocalLogDialog::LocalLogDialog(std::filesystem::path location, app::DateFormat format, QWidget* parent)
    : SkinDialog(parent), page_(new LocalLogPage(std::move(location), format, this)) {
    setTitle(operatorText(app::logTitleId(app::LogPage::Local)));
    setObjectName(QStringLiteral("local-log-dialog"));
    setFixedSize(600, 480);
    page_->setGeometry(8, 36, 584, 436);
}

}  // namespace kalix::ui
