#pragma once
// Writes a printout (app/log_printout.h) as a PDF: one A4 page per printed
// page, the boxes stroked, the texts centred in Helvetica-Bold (the PDF
// standard font that stands in for Arial Bold), the document name as the
// PDF's Title.

#include <string>

#include "app/log_printout.h"

namespace kalix::cli {

// The whole file's bytes.
std::string pdfDocument(const app::Printout& printout);

// False when the file could not be written.
bool writePdf(const std::string& path, const app::Printout& printout);

}  // namespace kalix::cli
