#include "app/settings_store.h"

namespace kalix::app {

template <typename T>
std::optional<T> MemorySettingsStore::read(std::string_view key) const {
    const auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    if (const T* value = std::get_if<T>(&it->second)) return *value;
    return std::nullopt;
}

std::optional<std::uint32_t> MemorySettingsStore::readNumber(std::string_view key) const {
    return read<std::uint32_t>(key);
}

std::optional<std::string> MemorySettingsStore::readText(std::string_view key) const {
    return read<std::string>(key);
}

std::optional<std::vector<std::uint8_t>> MemorySettingsStore::readBytes(std::string_view key) const {
    return read<std::vector<std::uint8_t>>(key);
}

void MemorySettingsStore::writeNumber(std::string_view key, std::uint32_t value) {
    values_.insert_or_assign(std::string(key), Value{value});
    ++writes_;
}

void MemorySettingsStore::writeText(std::string_view key, std::string_view text) {
    values_.insert_or_assign(std::string(key), Value{std::string(text)});
    ++writes_;
}

void MemorySettingsStore::writeBytes(std::string_view key, std::span<const std::uint8_t> bytes) {
    values_.insert_or_assign(std::string(key), Value{std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
    ++writes_;
}

bool MemorySettingsStore::contains(std::string_view key) const { return values_.find(key) != values_.end(); }

void MemorySettingsStore::remove(std::string_view key) {
    if (const auto it = values_.find(key); it != values_.end()) {
        values_.erase(it);
        ++writes_;
    }
}

}  // namespace kalix::app
