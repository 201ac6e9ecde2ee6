#include "ui/dialogs/image_preview_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "ui/dialogs/image_viewer.h"

namespace kalix::ui {

ImagePreviewDialog::ImagePreviewDialog(const QString& folder, QWidget* parent)
    : QFileDialog(parent, QStringLiteral("Image"), folder,
                  QStringLiteral("JPEG, BMP and TIFF files (*.jpg *.bmp *.tif)")) {
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFile);
    setAcceptMode(QFileDialog::AcceptOpen);

    auto* box = new QWidget(this);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    picture_ = new QLabel(box);
    picture_->setObjectName(QStringLiteral("preview"));
    picture_->setFixedSize(kPreviewWidth, kPreviewHeight);
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setFrameShape(QFrame::StyledPanel);
    size_ = new QLabel(box);
    size_->setObjectName(QStringLiteral("preview-size"));
    size_->setAlignment(Qt::AlignCenter);
    column->addWidget(picture_);
    column->addWidget(size_);
    column->addStretch();
    // The non-native dialog lays itself out on a grid; the preview takes a
    // column of its own on the right.
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(box, 0, grid->columnCount(), grid->rowCount(), 1);

    resize(880, 480);

    connect(this, &QFileDialog::currentChanged, this, &ImagePreviewDialog::previewFile);
    connect(this, &QFileDialog::directoryEntered, this, &ImagePreviewDialog::clearPreview);
}

QString ImagePreviewDialog::sizeText() const { return size_->text(); }

void ImagePreviewDialog::previewFile(const QString& path) {
    const auto image = loadDisplayImage(path);
    if (!image) return clearPreview();
    preview_ = *image;
    picture_->setPixmap(QPixmap::fromImage(
        preview_.scaled(picture_->contentsRect().size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    size_->setText(QStringLiteral("(%1 x %2)").arg(preview_.width()).arg(preview_.height()));
}

void ImagePreviewDialog::clearPreview() {
    preview_ = QImage();
    picture_->clear();
    size_->clear();
}

}  // namespace kalix::ui
