#pragma once
// The skin's fonts and colours in one place, so that every window, whether
// drawn from skin pictures or from the fallback, looks like the same
// program. The colours are those the skin pictures are painted in (a dark
// blue-grey panel with light ink and a blue accent).

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>

#include <cstdint>

class QImage;
class QPainter;
class QWidget;

namespace kalix::ui {

enum class SkinFont : std::uint8_t {
    Normal,   // labels, lists, edits, check buttons
    Bold,     // button captions, list headings
    Title,    // the title line of a dialog
    Caption,  // pane captions of the wall ("Arial" 13 px bold)
};

// "Arial" where it is installed, else a sans-serif look-alike; sizes in
// pixels so that layouts do not depend on the screen's resolution.
QFont skinFont(SkinFont role = SkinFont::Normal);

namespace skin_colour {
inline constexpr QRgb kPanelTop = qRgb(38, 45, 56);
inline constexpr QRgb kPanelBottom = qRgb(24, 29, 37);
inline constexpr QRgb kField = qRgb(18, 22, 28);       // edit and list backgrounds
inline constexpr QRgb kFieldAlt = qRgb(24, 29, 36);    // every other list row
inline constexpr QRgb kEdgeLight = qRgb(96, 112, 136);
inline constexpr QRgb kEdgeDark = qRgb(10, 13, 18);
inline constexpr QRgb kFaceTop = qRgb(66, 78, 96);
inline constexpr QRgb kFaceBottom = qRgb(40, 48, 60);
inline constexpr QRgb kInk = qRgb(228, 236, 244);
inline constexpr QRgb kInkDisabled = qRgb(98, 106, 116);
inline constexpr QRgb kAccent = qRgb(80, 160, 230);
inline constexpr QRgb kSelection = qRgb(44, 104, 168);
}  // namespace skin_colour

// The palette of skinned windows: dark panels, light ink, the accent as
// highlight, dimmed ink for disabled controls.
QPalette skinPalette();

// Gives a widget the skin's palette and the font of `role`.
void applySkin(QWidget& widget, SkinFont role = SkinFont::Normal);

// Draws a panel picture stretched over `target`, keeping its bevelled
// edges `edge` pixels wide unscaled; without a picture a plain panel in the
// skin's colours with the same bevel.
void drawSkinPanel(QPainter& painter, const QRect& target, const QImage& picture, int edge = 4);

}  // namespace kalix::ui
