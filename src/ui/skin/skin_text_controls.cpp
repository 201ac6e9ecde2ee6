#include "ui/skin/skin_text_controls.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QValidator>

#include <algorithm>
#include <utility>

namespace kalix::ui {

// ---------------------------------------------------------------- static

SkinStatic::SkinStatic(const QString& text, QWidget* parent, SkinFont font) : QLabel(text, parent) {
    applySkin(*this, font);
    setTextFormat(Qt::PlainText);
}

void SkinStatic::setSkinFont(SkinFont font) { setFont(skinFont(font)); }

// ---------------------------------------------------------------- edit

namespace {

qsizetype utf8Length(const QString& text) { return text.toUtf8().size(); }

// Keeps the text within a number of UTF-8 bytes by taking characters away
// just before the cursor, which is where typing and pasting put them.
class ByteLimit final : public QValidator {
public:
    ByteLimit(int max_bytes, QObject* parent) : QValidator(parent), max_bytes_(max_bytes) {}

    State validate(QString& input, int& pos) const override {
        if (max_bytes_ <= 0 || utf8Length(input) <= max_bytes_) return Acceptable;
        pos = std::clamp(pos, 0, static_cast<int>(input.size()));
        while (utf8Length(input) > max_bytes_) {
            int at = pos > 0 ? pos - 1 : static_cast<int>(input.size()) - 1;
            int count = 1;
            if (at > 0 && input.at(at).isLowSurrogate() && input.at(at - 1).isHighSurrogate()) {
                --at;
                count = 2;
            }
            input.remove(at, count);
            if (pos > at) pos = std::max(at, pos - count);
        }
        return Acceptable;
    }

private:
    int max_bytes_;
};

}  // namespace

SkinEdit::SkinEdit(int max_bytes, Echo echo, QWidget* parent) : QLineEdit(parent) {
    applySkin(*this);
    setMaxBytes(max_bytes);
    setPasswordMode(echo == Echo::Password);
}

void SkinEdit::setMaxBytes(int max_bytes) {
    max_bytes_ = std::max(0, max_bytes);
    // Never more characters than bytes; the validator does the exact count.
    setMaxLength(max_bytes_ > 0 ? max_bytes_ : 32767);
    delete limit_;
    limit_ = max_bytes_ > 0 ? new ByteLimit(max_bytes_, this) : nullptr;
    setValidator(limit_);
    if (limit_ != nullptr && utf8Length(text()) > max_bytes_) {
        QString cut = text();
        int pos = static_cast<int>(cut.size());
        limit_->validate(cut, pos);
        setText(cut);
    }
}

void SkinEdit::setPasswordMode(bool on) { setEchoMode(on ? QLineEdit::Password : QLineEdit::Normal); }

// ---------------------------------------------------------------- list

class SkinListModel final : public QAbstractTableModel {
public:
    explicit SkinListModel(QObject* parent) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(headings_.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        if (role == Qt::DisplayRole) return cell(index.row(), index.column());
        if (role == Qt::TextAlignmentRole) return QVariant::fromValue(alignment(index.column()));
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= headings_.size()) return {};
        if (role == Qt::DisplayRole) return headings_.at(section);
        if (role == Qt::TextAlignmentRole) return QVariant::fromValue(alignment(section));
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    void setHeadings(const QStringList& headings) {
        beginResetModel();
        headings_ = headings;
        alignments_.assign(static_cast<std::size_t>(headings.size()), Qt::AlignLeft | Qt::AlignVCenter);
        rows_.clear();
        endResetModel();
    }
    const QStringList& headings() const { return headings_; }

    void setAlignment(int column, Qt::Alignment a) {
        if (column < 0 || column >= headings_.size()) return;
        alignments_[static_cast<std::size_t>(column)] = a | Qt::AlignVCenter;
        if (!rows_.empty()) emit dataChanged(index(0, column), index(rowCount() - 1, column));
        emit headerDataChanged(Qt::Horizontal, column, column);
    }

    void setRows(std::vector<QStringList> rows) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }

    void appendRows(std::vector<QStringList> rows) {
        if (rows.empty()) return;
        const int first = rowCount();
        beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
        rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
        endInsertRows();
    }

    void setCell(int row, int column, const QString& text) {
        if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return;
        QStringList& cells = rows_[static_cast<std::size_t>(row)];
        while (cells.size() <= column) cells.append(QString());
        cells[column] = text;
        emit dataChanged(index(row, column), index(row, column), {Qt::DisplayRole});
    }

    QString cell(int row, int column) const {
        if (row < 0 || row >= rowCount() || column < 0) return {};
        const QStringList& cells = rows_[static_cast<std::size_t>(row)];
        return column < cells.size() ? cells.at(column) : QString();
    }

private:
    Qt::Alignment alignment(int column) const {
        return column >= 0 && column < static_cast<int>(alignments_.size())
                   ? alignments_[static_cast<std::size_t>(column)]
                   : Qt::AlignLeft | Qt::AlignVCenter;
    }

    QStringList headings_;
    std::vector<Qt::Alignment> alignments_;
    std::vector<QStringList> rows_;
};

SkinListBox::SkinListBox(QWidget* parent) : QTreeView(parent), model_(new SkinListModel(this)) {
    applySkin(*this);
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAlternatingRowColors(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    QHeaderView* head = header();
    head->setFont(skinFont(SkinFont::Bold));
    head->setSectionsMovable(false);
    head->setStretchLastSection(true);
    head->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                emit currentRowChanged(current.isValid() ? current.row() : -1);
            });
    connect(this, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        if (index.isValid()) emit rowActivated(index.row());
    });
}

SkinListBox::~SkinListBox() = default;

void SkinListBox::setColumns(const QStringList& headings, const QList<int>& widths) {
    model_->setHeadings(headings);
    for (int c = 0; c < headings.size() && c < widths.size(); ++c)
        if (widths.at(c) > 0) setColumnWidth(c, widths.at(c));
}

int SkinListBox::columnCount() const { return model_->columnCount(); }

QString SkinListBox::heading(int column) const {
    return column >= 0 && column < model_->headings().size() ? model_->headings().at(column) : QString();
}

void SkinListBox::setColumnAlignment(int column, Qt::Alignment alignment) { model_->setAlignment(column, alignment); }

void SkinListBox::setRows(std::vector<QStringList> rows) { model_->setRows(std::move(rows)); }

void SkinListBox::appendRow(QStringList cells) {
    std::vector<QStringList> one;
    one.push_back(std::move(cells));
    model_->appendRows(std::move(one));
}

void SkinListBox::appendRows(std::vector<QStringList> rows) { model_->appendRows(std::move(rows)); }

void SkinListBox::setCell(int row, int column, const QString& text) { model_->setCell(row, column, text); }

void SkinListBox::clearRows() { model_->setRows({}); }

int SkinListBox::rowCount() const { return model_->rowCount(); }

QString SkinListBox::cell(int row, int column) const { return model_->cell(row, column); }

int SkinListBox::currentRow() const {
    const QModelIndex index = currentIndex();
    return index.isValid() ? index.row() : -1;
}

void SkinListBox::setCurrentRow(int row) {
    if (row < 0 || row >= rowCount()) {
        selectionModel()->clearCurrentIndex();
        clearSelection();
        return;
    }
    const QModelIndex index = model_->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

}  // namespace kalix::ui
