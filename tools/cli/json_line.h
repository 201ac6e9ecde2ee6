#pragma once
// Builds one JSON object for one output line: {"event":"login","kind":3}.

#include <cstdint>
#include <string>
#include <string_view>

namespace kalix::cli {

std::string jsonEscape(std::string_view text);

class JsonLine {
public:
    explicit JsonLine(std::string_view event) { add("event", event); }
    // A plain object, to nest in a line with addRaw().
    JsonLine() = default;
    JsonLine& add(std::string_view key, std::string_view value);
    JsonLine& add(std::string_view key, const char* value) { return add(key, std::string_view(value)); }
    JsonLine& add(std::string_view key, std::int64_t value);
    JsonLine& add(std::string_view key, bool value);
    JsonLine& addRaw(std::string_view key, std::string_view json);
    std::string str() const { return body_ + "}"; }

private:
    void key(std::string_view k);
    std::string body_ = "{";
};

}  // namespace kalix::cli
