#pragma once
// Where the client keeps its per-user values: the local settings and the
// last recorder address. Keys are paths "Group/Sub/Key", for example
// "LocalSetup/DrawMode/DrawMode" or "IPSetup/ServerIP/Port". Each key holds
// one value of one of three types: a 32-bit number, a text, or bytes.
//
// Contract: a read returns nothing when the key is missing or holds a value
// of another type; the caller then takes its default. Reads never create or
// change anything. Writes may be buffered until sync(), which reports
// whether everything written so far reached the backing store.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kalix::app {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    virtual std::optional<std::uint32_t> readNumber(std::string_view key) const = 0;
    virtual std::optional<std::string> readText(std::string_view key) const = 0;
    virtual std::optional<std::vector<std::uint8_t>> readBytes(std::string_view key) const = 0;

    virtual void writeNumber(std::string_view key, std::uint32_t value) = 0;
    virtual void writeText(std::string_view key, std::string_view text) = 0;
    virtual void writeBytes(std::string_view key, std::span<const std::uint8_t> bytes) = 0;

    virtual bool contains(std::string_view key) const = 0;
    virtual void remove(std::string_view key) = 0;
    virtual bool sync() = 0;
};

// The store of tests and of a client that must not keep anything: values
// live as long as the object. Counts writes so a test can see that nothing
// was written.
class MemorySettingsStore final : public SettingsStore {
public:
    using Value = std::variant<std::uint32_t, std::string, std::vector<std::uint8_t>>;

    std::optional<std::uint32_t> readNumber(std::string_view key) const override;
    std::optional<std::string> readText(std::string_view key) const override;
    std::optional<std::vector<std::uint8_t>> readBytes(std::string_view key) const override;

    void writeNumber(std::string_view key, std::uint32_t value) override;
    void writeText(std::string_view key, std::string_view text) override;
    void writeBytes(std::string_view key, std::span<const std::uint8_t> bytes) override;

    bool contains(std::string_view key) const override;
    void remove(std::string_view key) override;
    bool sync() override { return true; }

    std::size_t writeCount() const { return writes_; }
    std::size_t size() const { return values_.size(); }

private:
    template <typename T>
    std::optional<T> read(std::string_view key) const;

    std::map<std::string, Value, std::less<>> values_;
    std::size_t writes_ = 0;
};

}  // namespace kalix::app
