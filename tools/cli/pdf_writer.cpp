#include "cli/pdf_writer.h"

#include <cstdio>
#include <fstream>
#include <vector>

namespace kalix::cli {
namespace {

constexpr double kPageWidth = 595.28;  // A4 in points
constexpr double kPageHeight = 841.89;
constexpr double kTwipsPerPoint = 20.0;

// Helvetica-Bold advance widths of the printable ASCII characters, in
// thousandths of the font size.
constexpr int kWidths[95] = {
    278, 333, 474, 556, 556, 889, 722, 238, 333, 333, 389, 584, 278, 333, 278, 278,  // ' '../
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 333, 333, 584, 584, 584, 611,  // 0..?
    975, 722, 722, 722, 722, 667, 611, 778, 722, 278, 556, 722, 611, 833, 722, 778,  // @..O
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 333, 278, 333, 584, 556,  // P.._
    333, 556, 611, 556, 611, 556, 333, 611, 611, 278, 278, 556, 278, 889, 611, 611,  // `..o
    611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500, 389, 280, 389, 584};      // p..~

// UTF-8 to the font's single-byte encoding: Latin-1 stays, the rest is '?'.
std::string toLatin1(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            const unsigned cp = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            out += cp < 0x100 ? static_cast<char>(cp) : '?';
            i += 2;
        } else {
            out += '?';
            ++i;
            while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) ++i;
        }
    }
    return out;
}

double textWidth(const std::string& latin1, double size) {
    double w = 0;
    for (char c : latin1) {
        const auto u = static_cast<unsigned char>(c);
        w += u >= 32 && u < 127 ? kWidths[u - 32] : 556;
    }
    return w * size / 1000.0;
}

std::string pdfString(const std::string& latin1) {
    std::string out = "(";
    for (char c : latin1) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '(' || c == ')' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 32) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out + ")";
}

std::string number(double v) {
    char text[96];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

std::string pageContent(const app::PrintedPage& page) {
    std::string s = number(app::kPrintPenTwips / kTwipsPerPoint) + " w\n";
    for (const auto& box : page.boxes) {
        const double x = box.left / kTwipsPerPoint;
        const double y = kPageHeight - box.bottom / kTwipsPerPoint;
        const double w = (box.right - box.left) / kTwipsPerPoint;
        const double h = (box.bottom - box.top) / kTwipsPerPoint;
        s += number(x) + " " + number(y) + " " + number(w) + " " + number(h) + " re S\n";
        if (box.text.empty()) continue;
        const double size = app::printFontSpec(box.font).height_twips / kTwipsPerPoint;
        const std::string text = toLatin1(box.text);
        const double tx = x + (w - textWidth(text, size)) / 2;
        const double ty = y + h / 2 - size * 0.35;
        s += "BT /F1 " + number(size) + " Tf " + number(tx) + " " + number(ty) + " Td " + pdfString(text) + " Tj ET\n";
    }
    return s;
}

}  // namespace

std::string pdfDocument(const app::Printout& printout) {
    // Objects: 1 catalog, 2 pages, 3 font, 4 info, then a page and its
    // content for each printed page.
    std::vector<std::string> objects;
    std::string kids;
    for (std::size_t i = 0; i < printout.pages.size(); ++i) kids += std::to_string(5 + 2 * i) + " 0 R ";
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(printout.pages.size()) + " >>");
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>");
    objects.push_back("<< /Title " + pdfString(toLatin1(printout.document_name)) + " /Producer (Kalix) >>");
    for (std::size_t i = 0; i < printout.pages.size(); ++i) {
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + number(kPageWidth) + " " +
                          number(kPageHeight) + "] /Resources << /Font << /F1 3 0 R >> >> /Contents " +
                          std::to_string(6 + 2 * i) + " 0 R >>");
        const std::string content = pageContent(printout.pages[i]);
        objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream");
    }
    std::string out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        char entry[96];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        out += entry;
    }
    out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R /Info 4 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return out;
}

bool writePdf(const std::string& path, const app::Printout& printout) {
    const std::string bytes = pdfDocument(printout);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace kalix::cli
