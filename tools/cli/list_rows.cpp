#include "cli/list_rows.h"

#include "cli/json_line.h"

namespace kalix::cli {
namespace {

std::string idJson(const std::optional<std::uint16_t>& id) {
    return id.has_value() ? std::to_string(static_cast<unsigned>(id.value_or(0))) : "null";
}

std::string colsJson(const app::ListRow& row) {
    std::string out = "[";
    for (std::size_t i = 0; i < row.cols.size(); ++i) {
        if (i != 0) out += ",";
        out += "\"" + jsonEscape(row.cols[i]) + "\"";
    }
    return out + "]";
}

std::string colsText(const app::ListRow& row) {
    std::string out;
    for (std::size_t i = 0; i < row.cols.size(); ++i) {
        if (i != 0) out += " | ";
        out += row.cols[i];
    }
    return out;
}

}  // namespace

void printLogRow(const EventPrinter& out, const app::ListRow& row) {
    const std::string name_id = row.ids.size() > 2 ? idJson(row.ids[2]) : std::string("null");
    out.line(JsonLine("log_row").addRaw("cols", colsJson(row)).addRaw("name_id", name_id).str(),
             "log " + colsText(row));
}

void printInfoRow(const EventPrinter& out, const app::ListRow& row) {
    std::string ids = "[";
    for (std::size_t i = 0; i < row.ids.size(); ++i) ids += (i != 0 ? "," : "") + idJson(row.ids[i]);
    ids += "]";
    out.line(JsonLine("info_row").addRaw("cols", colsJson(row)).addRaw("ids", ids).str(), "info " + colsText(row));
}

void printLogSummary(const EventPrinter& out, app::LogPage page, std::size_t rows) {
    const std::string_view key = app::logPageKey(page);
    out.line(JsonLine("log").add("page", key).add("rows", static_cast<std::int64_t>(rows)).str(),
             "log page " + std::string(key) + ": " + std::to_string(rows) + " rows");
}

bool searchPagesAllowed(const session::DvrSession& dvr) {
    const auto identity = dvr.identity();
    const bool known = dvr.administration().rights().has_value() || (identity && identity->product_major == 0);
    return !known || dvr.mayDo(session::Right::Search);
}

bool parseDateFormat(std::string_view text, app::DateFormat& out) {
    if (text == "0") out = app::DateFormat::YearMonthDay;
    else if (text == "1") out = app::DateFormat::MonthDayYear;
    else if (text == "2") out = app::DateFormat::DayMonthYear;
    else return false;
    return true;
}

}  // namespace kalix::cli
