// kalix-cli search: log in, ask the recorder for one month table, day table
// or page of events, print the answer and close the session.

#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/commands/commands.h"
#include "cli/json_line.h"
#include "protocol/byte_order.h"
#include "protocol/recorder_time.h"

namespace kalix::cli {
namespace {

using session::SearchAnswer;
using session::SearchKind;

constexpr std::size_t kDaysPerMonthRow = 31;

// A whole decimal number of exactly `digits` digits.
std::optional<int> fixedNumber(std::string_view text, std::size_t digits) {
    if (text.size() != digits) return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

struct Month {
    int year = 0;
    int month = 0;  // 1-12
};
struct Day {
    int year = 0;
    int month = 0;
    int day = 0;
};

std::optional<Month> parseMonth(std::string_view text) {
    if (text.size() != 7 || text[4] != '-') return std::nullopt;
    const auto y = fixedNumber(text.substr(0, 4), 4);
    const auto m = fixedNumber(text.substr(5, 2), 2);
    if (!y || !m || *m < 1 || *m > 12) return std::nullopt;
    return Month{*y, *m};
}

std::optional<Day> parseDay(std::string_view text) {
    if (text.size() != 10 || text[7] != '-') return std::nullopt;
    const auto month = parseMonth(text.substr(0, 7));
    const auto d = fixedNumber(text.substr(8, 2), 2);
    if (!month || !d || *d < 1 || *d > protocol::daysInMonth(month->year, month->month)) return std::nullopt;
    return Day{month->year, month->month, *d};
}

std::string hexBytes(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

std::string numberList(const std::vector<std::int64_t>& values, char separator) {
    std::string out;
    for (std::int64_t v : values) {
        if (!out.empty()) out += separator;
        out += std::to_string(v);
    }
    return out;
}

class SearchCommand final : public SessionCommand {
public:
    std::string_view usage() const override {
        return "usage: kalix-cli search --host ADDR [--port N] --user NAME --password PASS\n"
               "                        (--month YYYY-MM | --day YYYY-MM-DD | --events KIND [--page N])\n"
               "                        [--timeout N] [--json]\n"
               "\n"
               "Logs in, sends one search and prints its answer, then closes the session.\n"
               "--month: the recorded days of that month and the years with recordings.\n"
               "--day: the recorded stretches of that day, then the count.\n"
               "--events KIND (1, 2 or 7) [--page N]: one page of the recorder's events.\n"
               "Exit status 3 when the recorder refuses or does not answer within --timeout\n"
               "seconds (default 30).\n"
               "\n";
    }
    std::string_view optionHelp() const override {
        return "  --month YYYY-MM  search: the month table, shown for that month\n"
               "  --day YYYY-MM-DD search: the day table of that day\n"
               "  --events KIND    search: events of kind 1, 2 or 7\n"
               "  --page N         search: the page of events (default 0)\n";
    }

    OptionArity option(std::string_view name) const override {
        return name == "--month" || name == "--day" || name == "--events" || name == "--page" ? OptionArity::Value
                                                                                               : OptionArity::Unknown;
    }
    std::optional<UsageError> setOption(std::string_view name, std::string_view value) override {
        if (name == "--page") {
            unsigned page = 0;
            if (!parseNumber(value, page)) return UsageError{"invalid page", std::string(value)};
            page_ = page;
            return std::nullopt;
        }
        if (mode_) return UsageError{"one search at a time:", std::string(name)};
        if (name == "--month") {
            month_ = parseMonth(value);
            if (!month_) return UsageError{"invalid month", std::string(value)};
            mode_ = SearchKind::Month;
        } else if (name == "--day") {
            day_ = parseDay(value);
            if (!day_) return UsageError{"invalid day", std::string(value)};
            mode_ = SearchKind::Day;
        } else {
            unsigned kind = 0;
            if (!parseNumber(value, kind) || (kind != 1 && kind != 2 && kind != 7))
                return UsageError{"invalid event kind", std::string(value)};
            kind_ = kind;
            mode_ = SearchKind::Events;
        }
        return std::nullopt;
    }
    std::optional<UsageError> checkOptions(const CommonOptions&) const override {
        if (!mode_) return UsageError{"missing", "--month, --day or --events"};
        if (page_ && mode_ != SearchKind::Events) return UsageError{"--page needs", "--events"};
        return std::nullopt;
    }

    void loginAccepted(SessionRun& run) override {
        run.setDeadline(std::chrono::steady_clock::now() + answer_limit_, RunEnd::NoAnswer);
        auto& dvr = run.session();
        switch (*mode_) {
        case SearchKind::Month: dvr.searchMonth(); break;
        case SearchKind::Day: dvr.searchDay(day_->year, day_->month, day_->day); break;
        default: dvr.searchEvents(kind_, page_.value_or(0)); break;
        }
    }

    bool prepare(const CommonOptions& common) override {
        answer_limit_ = common.answer_limit;
        return true;
    }

    void event(const session::Event& event, SessionRun& run) override {
        const auto* answer = std::get_if<SearchAnswer>(&event);
        if (answer == nullptr || run.ending() || !isAsked(answer->kind)) return;
        if (answer->refused) {
            run.endRun(RunEnd::Refused);
            return;
        }
        switch (answer->kind) {
        case SearchKind::Month: printMonth(*answer, run); break;
        case SearchKind::Day: printDay(*answer, run); break;
        default: printEvents(*answer, run); break;
        }
        run.endRun(RunEnd::ClosedByClient);
    }

private:
    bool isAsked(SearchKind kind) const {
        if (*mode_ == SearchKind::Events) return kind == SearchKind::Events || kind == SearchKind::EventPage;
        return kind == *mode_;
    }

    void printMonth(const SearchAnswer& answer, SessionRun& run) const {
        std::vector<std::int64_t> years;
        std::vector<std::int64_t> days;
        bool found = false;
        for (std::size_t i = 0; i < answer.count(); ++i) {
            const auto record = answer.record(i);
            const auto year = protocol::be32(record.data());
            years.push_back(year);
            if (found || year != static_cast<std::uint32_t>(month_->year)) continue;
            found = true;
            const auto row = record.subspan(4 + static_cast<std::size_t>(month_->month - 1) * kDaysPerMonthRow,
                                            kDaysPerMonthRow);
            const int length = protocol::daysInMonth(month_->year, month_->month);
            for (int d = 0; d < length; ++d)
                if (row[static_cast<std::size_t>(d)] != 0) days.push_back(d + 1);
        }
        char month_text[16];
        std::snprintf(month_text, sizeof month_text, "%04d-%02d", month_->year, month_->month);
        run.out().line(JsonLine("month")
                           .add("year", std::int64_t{month_->year})
                           .add("month", std::int64_t{month_->month})
                           .addRaw("days", "[" + numberList(days, ',') + "]")
                           .addRaw("years", "[" + numberList(years, ',') + "]")
                           .str(),
                       std::string("month ") + month_text + ": recorded days [" + numberList(days, ' ') +
                           "], years with recordings [" + numberList(years, ' ') + "]");
    }

    void printDay(const SearchAnswer& answer, SessionRun& run) const {
        for (std::size_t i = 0; i < answer.count(); ++i) {
            const auto r = answer.record(i);
            const auto mask = protocol::be32(r.data());
            const auto start = protocol::be32(r.data() + 16);
            const auto end = protocol::be32(r.data() + 20);
            const std::string start_text = protocol::recorderTimeText(start);
            const std::string end_text = protocol::recorderTimeText(end);
            run.out().line(JsonLine("stretch")
                               .add("mask", std::int64_t{mask})
                               .add("kind", std::int64_t{r[4]})
                               .add("start", std::int64_t{start})
                               .add("end", std::int64_t{end})
                               .add("start_text", start_text)
                               .add("end_text", end_text)
                               .str(),
                           "stretch " + start_text + " - " + end_text + " channels 0x" + hexBytes(r.first(4)) +
                               " kind " + std::to_string(r[4]));
        }
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", day_->year, day_->month, day_->day);
        run.out().line(JsonLine("day").add("date", date).add("count", static_cast<std::int64_t>(answer.count())).str(),
                       std::string("day ") + date + ": " + std::to_string(answer.count()) + " stretches");
    }

    void printEvents(const SearchAnswer& answer, SessionRun& run) const {
        for (std::size_t i = 0; i < answer.count(); ++i) {
            const auto r = answer.record(i);
            const auto mask = protocol::be32(r.data());
            const auto time = protocol::be32(r.data() + 16);
            const auto time2 = protocol::be32(r.data() + 20);
            const std::string token = hexBytes(r.subspan(8, 8));
            const std::string time_text = protocol::recorderTimeText(time);
            run.out().line(JsonLine("event_record")
                               .add("mask", std::int64_t{mask})
                               .add("kind", std::int64_t{r[4]})
                               .add("token", token)
                               .add("time", std::int64_t{time})
                               .add("time_text", time_text)
                               .add("time2", std::int64_t{time2})
                               .str(),
                           "event " + time_text + " kind " + std::to_string(r[4]) + " channels 0x" +
                               hexBytes(r.first(4)) + " token " + token);
        }
        JsonLine page("event_page");
        page.add("kind", std::int64_t{kind_})
            .add("page", std::int64_t{page_.value_or(0)})
            .add("count", static_cast<std::int64_t>(answer.count()));
        std::string text = "events of kind " + std::to_string(kind_) + ", page " +
                           std::to_string(page_.value_or(0)) + ": " + std::to_string(answer.count());
        if (answer.kind == SearchKind::EventPage) {
            page.add("word1", std::int64_t{answer.word1}).add("word2", std::int64_t{answer.word2});
            text += " (words " + std::to_string(answer.word1) + " " + std::to_string(answer.word2) + ")";
        }
        run.out().line(page.str(), text);
    }

    std::optional<SearchKind> mode_;
    std::optional<Month> month_;
    std::optional<Day> day_;
    std::uint32_t kind_ = 0;
    std::optional<unsigned> page_;
    std::chrono::seconds answer_limit_{30};
};

}  // namespace

std::unique_ptr<SessionCommand> makeSearchCommand() { return std::make_unique<SearchCommand>(); }

}  // namespace kalix::cli
