#include "ui/widgets/motion_grid.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <bit>

#include "ui/skin/skin_style.h"

namespace kalix::ui {

namespace {

constexpr QRgb kEmptyField = skin_colour::kField;
constexpr QColor kCellFill(80, 160, 230, 110);  // the skin's accent, see-through
constexpr QColor kCellEdge(120, 190, 250, 220);
constexpr QColor kGridLine(228, 236, 244, 90);

bool validCell(int column, int row) {
    return column >= 0 && column < kMotionColumns && row >= 0 && row < kMotionRows;
}

std::uint16_t bitOf(int column) { return static_cast<std::uint16_t>(1u << column); }

}  // namespace

MotionGrid::MotionGrid(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(kMotionColumns * 4, kMotionRows * 4);
}

void MotionGrid::setPicture(QImage picture) {
    picture_ = std::move(picture);
    update();
}

void MotionGrid::setCells(const MotionRows& rows) {
    MotionRows masked = rows;
    for (std::uint16_t& r : masked) r &= kMotionRowBits;
    replaceCells(masked);
}

bool MotionGrid::cell(int column, int row) const {
    return validCell(column, row) && (rows_[static_cast<std::size_t>(row)] & bitOf(column)) != 0;
}

void MotionGrid::setCell(int column, int row, bool selected) {
    if (!validCell(column, row)) return;
    MotionRows next = rows_;
    std::uint16_t& r = next[static_cast<std::size_t>(row)];
    r = static_cast<std::uint16_t>(selected ? r | bitOf(column) : r & ~bitOf(column));
    replaceCells(next);
}

void MotionGrid::clearCells() { replaceCells(MotionRows{}); }

int MotionGrid::selectedCount() const {
    int n = 0;
    for (std::uint16_t r : rows_) n += std::popcount(r);
    return n;
}

void MotionGrid::setReadOnly(bool read_only) {
    read_only_ = read_only;
    if (read_only_) drag_.reset();
}

void MotionGrid::replaceCells(const MotionRows& rows) {
    if (rows == rows_) return;
    rows_ = rows;
    update();
    emit cellsChanged();
}

// Column c spans [c * w / 11, (c + 1) * w / 11): the cells tile the widget
// without gaps whatever its size.
QRect MotionGrid::cellRect(int column, int row) const {
    const int x0 = column * width() / kMotionColumns, x1 = (column + 1) * width() / kMotionColumns;
    const int y0 = row * height() / kMotionRows, y1 = (row + 1) * height() / kMotionRows;
    return {x0, y0, x1 - x0, y1 - y0};
}

QPoint MotionGrid::cellAt(QPoint pos) const {
    const int w = std::max(1, width()), h = std::max(1, height());
    const int column = std::clamp(pos.x() * kMotionColumns / w, 0, kMotionColumns - 1);
    const int row = std::clamp(pos.y() * kMotionRows / h, 0, kMotionRows - 1);
    return {column, row};
}

void MotionGrid::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (picture_.isNull()) {
        painter.fillRect(rect(), QColor(kEmptyField));
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), picture_);
    }
    for (int row = 0; row < kMotionRows; ++row)
        for (int column = 0; column < kMotionColumns; ++column)
            if (cell(column, row)) {
                const QRect r = cellRect(column, row);
                painter.fillRect(r, kCellFill);
                painter.setPen(kCellEdge);
                painter.drawRect(r.adjusted(1, 1, -2, -2));
            }
    painter.setPen(kGridLine);
    for (int column = 1; column < kMotionColumns; ++column) {
        const int x = column * width() / kMotionColumns;
        painter.drawLine(x, 0, x, height() - 1);
    }
    for (int row = 1; row < kMotionRows; ++row) {
        const int y = row * height() / kMotionRows;
        painter.drawLine(0, y, width() - 1, y);
    }
    painter.setPen(QColor(skin_colour::kEdgeLight));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void MotionGrid::mousePressEvent(QMouseEvent* event) {
    if (read_only_ || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint anchor = cellAt(event->position().toPoint());
    drag_ = Drag{anchor, !cell(anchor.x(), anchor.y()), rows_};
    applyDrag(anchor);
    event->accept();
}

void MotionGrid::mouseMoveEvent(QMouseEvent* event) {
    if (!drag_) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    applyDrag(cellAt(event->position().toPoint()));
    event->accept();
}

void MotionGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (!drag_ || event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    applyDrag(cellAt(event->position().toPoint()));
    drag_.reset();
    event->accept();
}

// The rectangle between the anchor and `to_cell`, applied to the cells as
// they were when the drag began: shrinking the rectangle gives back what
// it had covered.
void MotionGrid::applyDrag(QPoint to_cell) {
    const int c0 = std::min(drag_->anchor.x(), to_cell.x()), c1 = std::max(drag_->anchor.x(), to_cell.x());
    const int r0 = std::min(drag_->anchor.y(), to_cell.y()), r1 = std::max(drag_->anchor.y(), to_cell.y());
    const auto span = static_cast<std::uint16_t>(((1u << (c1 + 1)) - 1) & ~((1u << c0) - 1));
    MotionRows next = drag_->before;
    for (int row = r0; row <= r1; ++row) {
        std::uint16_t& r = next[static_cast<std::size_t>(row)];
        r = static_cast<std::uint16_t>(drag_->select ? r | span : r & ~span);
    }
    replaceCells(next);
}

}  // namespace kalix::ui
