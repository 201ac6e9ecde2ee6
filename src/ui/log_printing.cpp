#include "ui/log_printing.h"

#include <QFileDialog>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace kalix::ui {
namespace {

constexpr double kTwipsPerInch = 1440.0;

QFont printFont(app::PrintFont which) {
    const app::PrintFontSpec spec = app::printFontSpec(which);
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(spec.height_twips);
    font.setBold(true);
    font.setWeight(spec.weight >= 700 ? QFont::Bold : QFont::DemiBold);
    return font;
}

void paintPage(QPainter& painter, const app::PrintedPage& page) {
    QPen pen(Qt::black);
    pen.setWidth(app::kPrintPenTwips);
    painter.setPen(pen);
    for (const auto& box : page.boxes) {
        const QRect rect(QPoint(box.left, box.top), QPoint(box.right, box.bottom));
        painter.drawRect(rect);
        if (box.text.empty()) continue;
        painter.setFont(printFont(box.font));
        painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, QString::fromStdString(box.text));
    }
}

}  // namespace

bool paintPrintout(QPagedPaintDevice& device, const app::Printout& printout) {
    QPainter painter;
    if (printout.pages.empty()) return true;
    if (!painter.begin(&device)) return false;
    const double scale = device.logicalDpiX() / kTwipsPerInch;
    for (std::size_t i = 0; i < printout.pages.size(); ++i) {
        if (i != 0 && !device.newPage()) {
            painter.end();
            return false;
        }
        painter.resetTransform();
        painter.scale(scale, device.logicalDpiY() / kTwipsPerInch);
        paintPage(painter, printout.pages[i]);
    }
    return painter.end();
}

bool printWithDialog(QWidget* parent, const app::Printout& printout) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QString::fromStdString(printout.document_name));
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setFullPage(true);
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QString::fromStdString(printout.document_name));
    if (dialog.exec() != QDialog::Accepted) return false;
    if (!paintPrintout(printer, printout)) {
        printer.abort();
        return false;
    }
    return true;
}

void previewPrintout(QWidget* parent, const app::Printout& printout) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QString::fromStdString(printout.document_name));
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setFullPage(true);
    QPrintPreviewDialog preview(&printer, parent);
    preview.setObjectName(QStringLiteral("print-preview"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&printout](QPrinter* p) { paintPrintout(*p, printout); });
    preview.exec();
}

bool printToPdf(const QString& path, const app::Printout& printout) {
    QPdfWriter writer(path);
    writer.setTitle(QString::fromStdString(printout.document_name));
    writer.setCreator(QStringLiteral("Kalix"));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(static_cast<int>(kTwipsPerInch));
    if (printout.pages.empty()) {
        // An empty page list still makes a valid file.
        QPainter painter(&writer);
        return painter.end();
    }
    return paintPrintout(writer, printout);
}

bool printToPdfWithDialog(QWidget* parent, const app::Printout& printout) {
    const QString name = QString::fromStdString(printout.document_name) + QStringLiteral(".pdf");
    const QString path =
        QFileDialog::getSaveFileName(parent, QStringLiteral("Print to PDF"), name, QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty()) return false;
    return printToPdf(path, printout);
}

}  // namespace kalix::ui
