#include "ui/widgets/yuv_wall_surface.h"


namespace kalix::ui {

namespace {

// Above the units the painter's engine uses (0 and 1).
constexpr int kFirstPlaneUnit = 4;

const char* const kVertexShader = R"(
attribute vec2 position;
attribute vec2 texcoord;
varying vec2 v_texcoord;
void main() {
    v_texcoord = texcoord;
    gl_Position = vec4(position, 0.0, 1.0);
}
)";

// The same conversion as the RGB path's (74, 102, 25, 52, 129 over 64).
const char* const kFragmentShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
varying vec2 v_texcoord;
uniform sampler2D plane_y;
uniform sampler2D plane_u;
uniform sampler2D plane_v;
void main() {
    float y = texture2D(plane_y, v_texcoord).r * 255.0 - 16.0;
    float u = texture2D(plane_u, v_texcoord).r * 255.0 - 128.0;
    float v = texture2D(plane_v, v_texcoord).r * 255.0 - 128.0;
    vec3 rgb = vec3(74.0 * y + 102.0 * v,
                    74.0 * y - 25.0 * u - 52.0 * v,
                    74.0 * y + 129.0 * u) / 64.0;
    gl_FragColor = vec4(clamp(rgb / 255.0, 0.0, 1.0), 1.0);
}
)";

}  // namespace

YuvWallSurface::YuvWallSurface(std::function<void()> paint, QWidget* parent)
    : QOpenGLWidget(parent), paint_(std::move(paint)) {}

YuvWallSurface::~YuvWallSurface() {
    if (!ready_) return;
    makeCurrent();
    glDeleteTextures(3, textures_.data());
    vao_.destroy();
    program_.reset();
    doneCurrent();
}

void YuvWallSurface::initializeGL() {
    initializeOpenGLFunctions();
    program_ = std::make_unique<QOpenGLShaderProgram>();
    if (!program_->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) ||
        !program_->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader) || !program_->link()) {
        program_.reset();
        return;
    }
    vao_.create();
    glGenTextures(3, textures_.data());
    for (GLuint texture : textures_) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    ready_ = true;
}

void YuvWallSurface::paintGL() { paint_(); }

bool YuvWallSurface::drawPicture(const QRect& cell, std::span<const std::uint8_t> planes, int width, int height) {
    if (!ready_ || width <= 1 || height <= 1) return false;
    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    const std::size_t cw = (w + 1) / 2, ch = (h + 1) / 2;
    if (planes.size() < w * h + 2 * cw * ch) return false;

    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const std::uint8_t* plane_data[3] = {planes.data(), planes.data() + w * h, planes.data() + w * h + cw * ch};
    const GLsizei sizes[3][2] = {{width, height},
                                 {static_cast<GLsizei>(cw), static_cast<GLsizei>(ch)},
                                 {static_cast<GLsizei>(cw), static_cast<GLsizei>(ch)}};
    for (int i = 0; i < 3; ++i) {
        glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + kFirstPlaneUnit + i));
        glBindTexture(GL_TEXTURE_2D, textures_[static_cast<std::size_t>(i)]);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, sizes[i][0], sizes[i][1], 0, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                     plane_data[i]);
    }

    // The trimmed source, in texture coordinates (first row at the top).
    const media::WallRect source = media::pictureSourceRect(media::DrawPath::Yuv, width, height);
    const float s0 = static_cast<float>(source.left) / static_cast<float>(width);
    const float s1 = static_cast<float>(source.right) / static_cast<float>(width);
    const float t0 = static_cast<float>(source.top) / static_cast<float>(height);
    const float t1 = static_cast<float>(source.bottom) / static_cast<float>(height);
    const auto ndcX = [this](int x) { return 2.0f * static_cast<float>(x) / static_cast<float>(this->width()) - 1.0f; };
    const auto ndcY = [this](int y) { return 1.0f - 2.0f * static_cast<float>(y) / static_cast<float>(this->height()); };
    const float x0 = ndcX(cell.left()), x1 = ndcX(cell.left() + cell.width());
    const float y0 = ndcY(cell.top()), y1 = ndcY(cell.top() + cell.height());
    const GLfloat positions[] = {x0, y0, x1, y0, x0, y1, x1, y1};
    const GLfloat texcoords[] = {s0, t0, s1, t0, s0, t1, s1, t1};

    const qreal ratio = devicePixelRatioF();
    glViewport(0, 0, static_cast<GLsizei>(this->width() * ratio), static_cast<GLsizei>(this->height() * ratio));
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    // What the painter's engine may have left bound, put back afterwards.
    GLint previous_program = 0;
    GLint previous_buffer = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous_program);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &previous_buffer);
    QOpenGLVertexArrayObject::Binder vao_binding(&vao_);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    program_->bind();
    program_->setUniformValue("plane_y", kFirstPlaneUnit);
    program_->setUniformValue("plane_u", kFirstPlaneUnit + 1);
    program_->setUniformValue("plane_v", kFirstPlaneUnit + 2);
    const int position = program_->attributeLocation("position");
    const int texcoord = program_->attributeLocation("texcoord");
    GLint position_was_on = 0;
    GLint texcoord_was_on = 0;
    glGetVertexAttribiv(static_cast<GLuint>(position), GL_VERTEX_ATTRIB_ARRAY_ENABLED, &position_was_on);
    glGetVertexAttribiv(static_cast<GLuint>(texcoord), GL_VERTEX_ATTRIB_ARRAY_ENABLED, &texcoord_was_on);
    program_->enableAttributeArray(position);
    program_->enableAttributeArray(texcoord);
    program_->setAttributeArray(position, GL_FLOAT, positions, 2);
    program_->setAttributeArray(texcoord, GL_FLOAT, texcoords, 2);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    if (position_was_on == 0) program_->disableAttributeArray(position);
    if (texcoord_was_on == 0) program_->disableAttributeArray(texcoord);
    glUseProgram(static_cast<GLuint>(previous_program));
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(previous_buffer));
    glActiveTexture(GL_TEXTURE0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);  // the painter's glyph uploads expect the default
    return true;
}

}  // namespace kalix::ui
