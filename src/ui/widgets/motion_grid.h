#pragma once
// The motion-area grid: 11 × 9 cells over a channel picture, as the motion
// windows of the log viewers show them. The operator selects cells by
// dragging a rectangle from the cell first pressed; that cell decides
// whether the drag selects (it was clear) or clears (it was selected).
// In read-only mode the grid only shows its cells.
//
// Cells travel as nine row masks, one per row from the top: bit c of row r
// is the cell in column c (0 at the left), so only bits 0..10 are used.

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>

namespace kalix::ui {

inline constexpr int kMotionColumns = 11;
inline constexpr int kMotionRows = 9;
inline constexpr std::uint16_t kMotionRowBits = (1u << kMotionColumns) - 1;  // 0x07FF

using MotionRows = std::array<std::uint16_t, kMotionRows>;

class MotionGrid final : public QWidget {
    Q_OBJECT

public:
    explicit MotionGrid(QWidget* parent = nullptr);

    // The picture shown under the cells, scaled to the grid; a null picture
    // leaves a dark field.
    void setPicture(QImage picture);
    const QImage& picture() const { return picture_; }

    // Bits above column 10 are dropped.
    void setCells(const MotionRows& rows);
    const MotionRows& cells() const { return rows_; }
    bool cell(int column, int row) const;
    void setCell(int column, int row, bool selected);
    void clearCells();
    int selectedCount() const;

    void setReadOnly(bool read_only);
    bool isReadOnly() const { return read_only_; }

    // The cell under a point of the widget, clamped to the grid.
    QPoint cellAt(QPoint pos) const;
    QRect cellRect(int column, int row) const;

    QSize sizeHint() const override { return {352, 288}; }

signals:
    // The cells changed, by the operator or by a set call.
    void cellsChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void applyDrag(QPoint to_cell);
    void replaceCells(const MotionRows& rows);

    struct Drag {
        QPoint anchor;        // the first cell pressed
        bool select;          // true: the drag selects; false: it clears
        MotionRows before;    // the cells when the drag started
    };

    QImage picture_;
    MotionRows rows_{};
    bool read_only_ = false;
    std::optional<Drag> drag_;
};

}  // namespace kalix::ui
