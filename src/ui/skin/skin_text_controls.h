#pragma once
// The text controls of skinned windows, all in the skin's fonts and
// colours: a static label, a one-line edit, and a list with column
// headings.
//
// SkinStatic does not take the mouse, so pressing on a label inside a
// skinned dialog drags the dialog like its background does.
//
// SkinEdit limits its text by the bytes it takes in UTF-8, because what it
// edits ends up in fixed-size fields (user names and passwords of 16
// bytes, addresses of 132). Input that would not fit is cut where it was
// inserted: typing at the limit does nothing, a paste keeps what fits.
//
// SkinListBox holds its rows in a plain table model shown by a tree view
// with uniform row heights, so a log of thousands of rows fills and
// scrolls without per-item objects.

#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QTreeView>

#include <string>
#include <vector>

#include "ui/skin/skin_style.h"

namespace kalix::ui {

class SkinStatic final : public QLabel {
    Q_OBJECT

public:
    explicit SkinStatic(const QString& text = {}, QWidget* parent = nullptr, SkinFont font = SkinFont::Normal);

    void setSkinFont(SkinFont font);
};

class SkinEdit final : public QLineEdit {
    Q_OBJECT

public:
    enum class Echo { Normal, Password };

    // max_bytes 0: no limit.
    explicit SkinEdit(int max_bytes = 0, Echo echo = Echo::Normal, QWidget* parent = nullptr);

    void setMaxBytes(int max_bytes);
    int maxBytes() const { return max_bytes_; }

    void setPasswordMode(bool on);
    bool passwordMode() const { return echoMode() == QLineEdit::Password; }

    // The text as the session takes it.
    std::string utf8() const { return text().toStdString(); }

private:
    int max_bytes_ = 0;
    QValidator* limit_ = nullptr;  // owned, null without a limit
};

class SkinListModel;

class SkinListBox final : public QTreeView {
    Q_OBJECT

public:
    explicit SkinListBox(QWidget* parent = nullptr);
    ~SkinListBox() override;

    // Replaces the columns (and drops the rows). Widths in pixels; a column
    // without one is sized by the view, the last one stretches.
    void setColumns(const QStringList& headings, const QList<int>& widths = {});
    int columnCount() const;
    QString heading(int column) const;
    void setColumnAlignment(int column, Qt::Alignment alignment);

    // Rows hold one text per column; missing cells are empty, extra ones
    // are ignored.
    void setRows(std::vector<QStringList> rows);
    void appendRow(QStringList cells);
    void appendRows(std::vector<QStringList> rows);
    void setCell(int row, int column, const QString& text);
    void clearRows();

    int rowCount() const;
    QString cell(int row, int column) const;

    int currentRow() const;  // -1 without one
    void setCurrentRow(int row);

signals:
    void currentRowChanged(int row);
    void rowActivated(int row);  // double click or Enter

private:
    SkinListModel* model_;
};

}  // namespace kalix::ui
