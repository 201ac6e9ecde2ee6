#include "app/log_printout.h"

#include <array>
#include <cstdio>

#include "app/string_table.h"

namespace kalix::app {
namespace {

constexpr std::array<int, 6> kRemoteColumns{400, 1150, 3300, 5150, 6300, 11000};
constexpr std::array<int, 6> kLocalColumns{400, 1100, 3700, 6800, 8100, 10800};
constexpr int kFirstRowTop = 1800;
constexpr int kRowHeight = 400;

}  // namespace

PrintFontSpec printFontSpec(PrintFont font) {
    return font == PrintFont::Title ? PrintFontSpec{"Arial Bold", 400, 700} : PrintFontSpec{"Arial Bold", 200, 400};
}

Printout layoutPrintout(LogPage page, const std::vector<ListRow>& rows) {
    Printout out;
    out.document_name = std::string(logDocumentName(page));
    const auto& columns = page == LogPage::Local ? kLocalColumns : kRemoteColumns;
    const std::size_t count = (rows.size() + kRowsPerPrintedPage - 1) / kRowsPerPrintedPage;
    const std::string title(stringText(logTitleId(page)));
    for (std::size_t p = 0; p < count; ++p) {
        PrintedPage printed;
        printed.boxes.push_back({3200, 900, 8200, 1400, title, PrintFont::Title});
        const std::size_t first = p * kRowsPerPrintedPage;
        const std::size_t last = std::min(rows.size(), first + kRowsPerPrintedPage);
        for (std::size_t r = first; r < last; ++r) {
            const int top = kFirstRowTop + static_cast<int>(r - first) * kRowHeight;
            for (std::size_t c = 0; c < 5; ++c) {
                std::string text = c < rows[r].cols.size() ? rows[r].cols[c] : std::string();
                printed.boxes.push_back({columns[c], top, columns[c + 1], top + kRowHeight, std::move(text)});
            }
        }
        char footer[96];
        std::snprintf(footer, sizeof footer, "- %zu / %zu -", p + 1, count);
        printed.boxes.push_back({5000, 15500, 7000, 15700, footer});
        out.pages.push_back(std::move(printed));
    }
    return out;
}

}  // namespace kalix::app
