#pragma once
// Output lines for the rows of the log and information pages.

#include <string>
#include <string_view>

#include "app/log_pages.h"
#include "cli/event_printer.h"
#include "session/dvr_session.h"

namespace kalix::cli {

// {"event":"log_row","cols":[...5],"name_id":ID|null}
void printLogRow(const EventPrinter& out, const app::ListRow& row);
// {"event":"info_row","cols":[c1,c2,c3],"ids":[id|null x3]}
void printInfoRow(const EventPrinter& out, const app::ListRow& row);
// {"event":"log","page":P,"rows":N}
void printLogSummary(const EventPrinter& out, app::LogPage page, std::size_t rows);

// The log and information pages belong to the search hub, which the search
// right opens. Before any rights message the rights are not known: only a
// table that leaves the right out (or, on first-version recorders, the
// account byte) keeps the request back.
bool searchPagesAllowed(const session::DvrSession& dvr);

// "0", "1" or "2" for --date-format.
bool parseDateFormat(std::string_view text, app::DateFormat& out);

}  // namespace kalix::cli
