#pragma once
// The YUV path's drawing surface: an OpenGL child that covers the wall
// widget. Planar 4:2:0 pictures go up as three single-channel textures and
// a fragment shader converts and scales them into the cell; everything else
// (logo, video loss, captions, icons) is painted by the wall widget through
// a QPainter on this surface. Mouse events are left to the wall widget.

#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLVertexArrayObject>
#include <QOpenGLWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "media/video/wall_layouts.h"

namespace kalix::ui {

class YuvWallSurface final : public QOpenGLWidget, protected QOpenGLFunctions {
public:
    // paint: draws the whole wall, with painters it opens on this surface
    // and drawPicture between them.
    YuvWallSurface(std::function<void()> paint, QWidget* parent);
    ~YuvWallSurface() override;

    // While no painter is open: the trimmed picture, scaled to the cell.
    // False when the shader could not be built or the planes are short.
    bool drawPicture(const QRect& cell, std::span<const std::uint8_t> planes, int width, int height);

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    std::function<void()> paint_;
    std::unique_ptr<QOpenGLShaderProgram> program_;
    std::array<GLuint, 3> textures_{};
    // Our own vertex array and texture units, so that the painter's engine
    // finds its own state as it left it.
    QOpenGLVertexArrayObject vao_;
    bool ready_ = false;
};

}  // namespace kalix::ui
