#include "ui/dialogs/image_viewer.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "media/still/still_image.h"

namespace kalix::ui {
namespace {

std::optional<QImage> readTiffImage(const QString& path) {
    const auto rgb = media::readTiff(std::filesystem::path(path.toStdString()));
    if (!rgb) return std::nullopt;
    const QImage view(rgb->rgb.data(), rgb->width, rgb->height, rgb->width * 3, QImage::Format_RGB888);
    return view.copy();  // the view does not own the bytes
}

std::optional<QImage> readQtImage(const QString& path, const QByteArray& format) {
    QImageReader reader(path, format);
    reader.setDecideFormatFromContent(true);
    QImage image = reader.read();
    if (image.isNull()) return std::nullopt;
    return image;
}

}  // namespace

std::optional<QImage> loadDisplayImage(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    file.close();
    // The extension, not just any ".tif" in the path: a folder or a name
    // like "a.tif.jpg" must not send a JPEG file to the TIFF reader.
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("tif") || suffix == QLatin1String("tiff")) return readTiffImage(path);
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) return readQtImage(path, "jpg");
    if (suffix == QLatin1String("bmp")) return readQtImage(path, "bmp");
    return std::nullopt;
}

ImageViewer::ImageViewer(const QString& path, QWidget* parent) : QWidget(parent, Qt::Window), path_(path) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("image-viewer"));
    setWindowTitle(QFileInfo(path).fileName());
    if (auto image = loadDisplayImage(path)) image_ = std::move(*image);
    if (image_.isNull()) {
        resize(200, 100);
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    QSize size = image_.size();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(image_.size().scaled(size, Qt::KeepAspectRatio));
}

void ImageViewer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (image_.isNull()) return;
    const QSize shown = image_.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image_);
}

}  // namespace kalix::ui
