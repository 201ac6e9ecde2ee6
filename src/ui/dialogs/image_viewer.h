#pragma once
// Saved stills on the screen: the one way a file is loaded for display
// (the Load dialog's preview and the viewer both use it), and the viewer
// window that shows one image and closes itself when the file cannot be
// loaded.

#include <QImage>
#include <QString>
#include <QWidget>

#include <optional>

namespace kalix::ui {

// The image in `path`, or nothing. The name's extension, lower-cased,
// decides: ".tif"/".tiff" are read with libtiff, ".jpg"/".jpeg"/".bmp" with
// Qt's image reader; any other name, a file that cannot be opened or one
// that does not decode gives nothing.
std::optional<QImage> loadDisplayImage(const QString& path);

class ImageViewer final : public QWidget {
    Q_OBJECT

public:
    // A top-level window sized to the image (within the screen). When the
    // file cannot be loaded the window closes itself once the event loop
    // runs; it deletes itself on close.
    explicit ImageViewer(const QString& path, QWidget* parent = nullptr);

    bool loaded() const { return !image_.isNull(); }
    const QImage& image() const { return image_; }
    const QString& path() const { return path_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString path_;
    QImage image_;
};

}  // namespace kalix::ui
