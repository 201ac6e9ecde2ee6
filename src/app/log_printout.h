#pragma once
// The printed form of a log page, as data: pages of boxes with centred
// texts, in twips (1/1440 inch) from the top left corner of the printable
// area, y growing downwards. The Qt printer and kalix-cli's PDF writer
// both draw it.

#include <cstdint>
#include <string>
#include <vector>

#include "app/log_pages.h"

namespace kalix::app {

inline constexpr std::size_t kRowsPerPrintedPage = 33;

enum class PrintFont : std::uint8_t { Title = 1, Body };

struct PrintFontSpec {
    const char* family;  // "Arial Bold"
    int height_twips;
    int weight;
};
PrintFontSpec printFontSpec(PrintFont font);
// Width of the box lines, in twips.
inline constexpr int kPrintPenTwips = 5;

struct PrintBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    std::string text;  // centred on one line; empty: the box alone
    PrintFont font = PrintFont::Body;
    friend bool operator==(const PrintBox&, const PrintBox&) = default;
};

struct PrintedPage {
    std::vector<PrintBox> boxes;
};

struct Printout {
    std::string document_name;  // "Remote Log All" ... "Local Log"
    std::vector<PrintedPage> pages;
};

// The rows of a log page (five columns each) laid out for printing: 33 to a
// page, the page's title box, the rows, the footer "- n / count -".
Printout layoutPrintout(LogPage page, const std::vector<ListRow>& rows);

}  // namespace kalix::app
