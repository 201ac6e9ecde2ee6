#pragma once
// Prints a log page's printout (app::Printout) through Qt's print support:
// the desktop's print dialog with the default printer chosen, a print
// preview, or straight into a PDF file whose Title is the document name.

#include <QString>

#include "app/log_printout.h"

class QPagedPaintDevice;
class QPrinter;
class QWidget;

namespace kalix::ui {

// Draws every page on `device` (already set up); false when a page could
// not be started, after which nothing more is drawn.
bool paintPrintout(QPagedPaintDevice& device, const app::Printout& printout);

// The print dialog, then the printer; false when cancelled or failed. A
// failed page aborts the job.
bool printWithDialog(QWidget* parent, const app::Printout& printout);
// Print preview of the pages.
void previewPrintout(QWidget* parent, const app::Printout& printout);
// Writes the printout as a PDF.
bool printToPdf(const QString& path, const app::Printout& printout);
// Asks for a file name, then writes the PDF; false when cancelled or failed.
bool printToPdfWithDialog(QWidget* parent, const app::Printout& printout);

}  // namespace kalix::ui
