#include "ui/skin/skin_style.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace kalix::ui {

QFont skinFont(SkinFont role) {
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    switch (role) {
    case SkinFont::Normal:
        font.setPixelSize(12);
        break;
    case SkinFont::Bold:
        font.setPixelSize(12);
        font.setWeight(QFont::Bold);
        break;
    case SkinFont::Title:
    case SkinFont::Caption:
        font.setPixelSize(13);
        font.setWeight(QFont::Bold);
        break;
    }
    return font;
}

QPalette skinPalette() {
    using namespace skin_colour;
    QPalette p;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        const QColor ink(disabled ? kInkDisabled : kInk);
        p.setColor(group, QPalette::Window, QColor(kPanelTop));
        p.setColor(group, QPalette::WindowText, ink);
        p.setColor(group, QPalette::Base, QColor(kField));
        p.setColor(group, QPalette::AlternateBase, QColor(kFieldAlt));
        p.setColor(group, QPalette::Text, ink);
        p.setColor(group, QPalette::PlaceholderText, QColor(kInkDisabled));
        p.setColor(group, QPalette::Button, QColor(kFaceBottom));
        p.setColor(group, QPalette::ButtonText, ink);
        p.setColor(group, QPalette::BrightText, QColor(kInk));
        p.setColor(group, QPalette::Light, QColor(kEdgeLight));
        p.setColor(group, QPalette::Midlight, QColor(kFaceTop));
        p.setColor(group, QPalette::Mid, QColor(kFaceBottom));
        p.setColor(group, QPalette::Dark, QColor(kEdgeDark));
        p.setColor(group, QPalette::Shadow, QColor(kEdgeDark));
        p.setColor(group, QPalette::Highlight, QColor(disabled ? kFaceBottom : kSelection));
        p.setColor(group, QPalette::HighlightedText, QColor(kInk));
        p.setColor(group, QPalette::ToolTipBase, QColor(kPanelTop));
        p.setColor(group, QPalette::ToolTipText, QColor(kInk));
        p.setColor(group, QPalette::Link, QColor(kAccent));
    }
    return p;
}

void applySkin(QWidget& widget, SkinFont role) {
    widget.setPalette(skinPalette());
    widget.setFont(skinFont(role));
}

void drawSkinPanel(QPainter& painter, const QRect& target, const QImage& picture, int edge) {
    if (target.isEmpty()) return;
    if (picture.isNull()) {
        using namespace skin_colour;
        QLinearGradient fill(target.topLeft(), target.bottomLeft());
        fill.setColorAt(0, QColor(kPanelTop));
        fill.setColorAt(1, QColor(kPanelBottom));
        painter.fillRect(target, fill);
        const QRect r = target.adjusted(0, 0, -1, -1);
        painter.setPen(QColor(kEdgeLight));
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(QColor(kEdgeDark));
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
        return;
    }
    // Nine pieces: the corners as they are, the edges stretched along their
    // length, the middle stretched both ways.
    const int smallest = std::min({picture.width(), picture.height(), target.width(), target.height()});
    const int e = std::clamp(edge, 0, smallest / 2);
    const int sx[4] = {0, e, picture.width() - e, picture.width()};
    const int sy[4] = {0, e, picture.height() - e, picture.height()};
    const int tx[4] = {target.left(), target.left() + e, target.left() + target.width() - e,
                       target.left() + target.width()};
    const int ty[4] = {target.top(), target.top() + e, target.top() + target.height() - e,
                       target.top() + target.height()};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            const QRect src(sx[col], sy[row], sx[col + 1] - sx[col], sy[row + 1] - sy[row]);
            const QRect dst(tx[col], ty[row], tx[col + 1] - tx[col], ty[row + 1] - ty[row]);
            if (!src.isEmpty() && !dst.isEmpty()) painter.drawImage(dst, picture, src);
        }
}

}  // namespace kalix::ui
