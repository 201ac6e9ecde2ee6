#pragma once
// The Load button's open-file dialog: titled "Image", JPEG, BMP and TIFF
// files, starting in the Saved folder, with a live preview beside the file
// list. When the selected file changes it is loaded and shown scaled into
// the preview area, with "(W x H)" in the size label (an empty label when
// the file does not load); entering another folder clears the preview.
//
// Qt's own (non-native) dialog, so that the preview can join its layout.
// Object names: "preview", "preview-size".

#include <QFileDialog>
#include <QImage>

class QLabel;

namespace kalix::ui {

class ImagePreviewDialog final : public QFileDialog {
    Q_OBJECT

public:
    static constexpr int kPreviewWidth = 240;
    static constexpr int kPreviewHeight = 180;

    explicit ImagePreviewDialog(const QString& folder, QWidget* parent = nullptr);

    // What the preview shows now (null when nothing), and the size label.
    const QImage& previewImage() const { return preview_; }
    QString sizeText() const;

    // The selection moved to `path` (also called by the dialog itself).
    void previewFile(const QString& path);
    void clearPreview();

private:
    QLabel* picture_ = nullptr;
    QLabel* size_ = nullptr;
    QImage preview_;
};

}  // namespace kalix::ui
