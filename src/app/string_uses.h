#pragma once
// The string numbers the program looks up, each under the name of what it
// labels. Code takes its numbers from here with stringNumber(), and the
// string table's test walks the same list, so a number cannot be looked up
// without the table having its text.

#include <cstdint>
#include <string_view>

namespace kalix::app {

struct StringUse {
    std::string_view what;
    std::uint16_t first;
    std::uint16_t count = 1;  // a numbered run: first, first + 1, ... (rows, slots, states)
};

// clang-format off
inline constexpr StringUse kStringUses[] = {
    {"operation log: local settings saved", 5004},
    {"notices: titles and messages", 5051, 42},
    {"recorder log: entry names; status page", 5110, 28},
    {"channel states; system information labels", 5144, 9},
    {"firmware upgrade: rows", 5180, 6},
    {"firmware upgrade: upload states", 5190, 5},
    {"recorder log names; backup filters", 5209, 2},
    {"off", 5340},
    {"on", 5344},
    {"operation log: local entries", 5360, 7},
    {"operation log: local settings reset", 5368},
    {"folder browser: title", 5380},
    {"date formats", 5381, 3},
    {"audio buffers", 5392, 3},
    {"version notice: label", 5410},
    {"recorder address", 5497},
    {"connect dialog: title", 5500},
    {"connect dialog: user name", 5501},
    {"connect dialog: password", 5502},
    {"connect dialog: default port", 5503},
    {"connect dialog: other port", 5504},
    {"address book: title", 5505},
    {"address book: delete", 5506},
    {"address book: edit", 5507},
    {"address book: save", 5508},
    {"address book: last connection", 5509},
    {"address book: prompt", 5510},
    {"log pages: printed titles", 5511, 7},
    {"event log", 5522},
    {"log pages: tabs; info pages: tabs; detail", 5523, 10},
    {"log pages: headings", 5533, 4},
    {"log pages: preview, pdf", 5537, 2},
    {"port", 5540},
    {"ok", 5541},
    {"cancel", 5542},
    {"yes", 5543},
    {"no", 5544},
    {"play", 5563},
    {"archive", 5585},
    {"print", 5604},
    {"opacity slots", 5640, 9},
    {"local setup: title", 5650},
    {"local setup: pages", 5651, 4},
    {"local setup: check all", 5655},
    {"local setup: clear all", 5656},
    {"local setup: global rows", 5657, 6},
    {"local setup: close", 5663},
    {"local setup: channel", 5664},
    {"recorder log: operation names", 5680, 2},
    {"remote search: title", 5800},
    {"remote search: tabs", 5801, 4},
    {"remote search: close", 5805},
    {"remote search: waiting", 5810},
    {"remote search: search page tabs", 5811, 4},
    {"remote search: page not available", 5815},
    {"recording calendar: title", 5816},
    {"day timeline: title", 5817},
    {"day timeline: back", 5818},
    {"event list: title", 5819},
    {"event list: kinds", 5820, 3},
    {"event list: headings", 5823, 2},
    {"event list: pages", 5825, 2},
    {"remote search: no recordings", 5827},
    {"date and time search: labels", 5828, 2},
    {"recording calendar: year", 5830},
    {"recording calendar: months", 5840, 12},
    {"recording calendar: weekdays", 5852, 7},
    {"storage: type", 5837},
    {"storage: items", 5870, 5},
    {"storage: name", 5880},
    {"description", 5881},
    {"log cleared; factory settings restored", 5890, 2},
    {"wall: watermark warning", 6062},
    {"hour systems", 6073, 2},
    {"status strip: origins", 6100, 3},
    {"status strip: play modes", 6104, 5},
    {"recording states; backup filters", 6140, 2},
    {"local search: title", 5230},
    {"local search: tabs", 5231, 5},
    {"bookmarks: buttons", 5240, 5},
    {"bookmarks: headings", 5245, 2},
    {"bookmarks: add", 5247},
    {"export: title", 5250},
    {"export: labels", 5251, 4},
    {"export: start", 5255},
    {"export: stop", 5256},
    {"export: states", 5257, 3},
};
// clang-format on

// The number of a use, or of its row `row` when the use is a numbered run.
// A name the list does not have, or a row beyond the run, does not compile.
consteval std::uint16_t stringNumber(std::string_view what, int row = 0) {
    for (const StringUse& use : kStringUses) {
        if (use.what != what) continue;
        if (row < 0 || row >= use.count) throw "row beyond the run";
        return static_cast<std::uint16_t>(use.first + row);
    }
    throw "no such string use";
}

}  // namespace kalix::app
