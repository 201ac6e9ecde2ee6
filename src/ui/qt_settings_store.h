#pragma once
// The settings store of the desktop client: QSettings of organisation
// "Vorn", application "Kalix", in the user's scope. Keys keep their paths
// ("LocalSetup/DrawMode/DrawMode"); numbers are written as unsigned
// integers, texts as strings, bytes as byte arrays.

#include <QSettings>

#include "app/settings_store.h"

namespace kalix::ui {

class QtSettingsStore final : public app::SettingsStore {
public:
    QtSettingsStore();

    std::optional<std::uint32_t> readNumber(std::string_view key) const override;
    std::optional<std::string> readText(std::string_view key) const override;
    std::optional<std::vector<std::uint8_t>> readBytes(std::string_view key) const override;

    void writeNumber(std::string_view key, std::uint32_t value) override;
    void writeText(std::string_view key, std::string_view text) override;
    void writeBytes(std::string_view key, std::span<const std::uint8_t> bytes) override;

    bool contains(std::string_view key) const override;
    void remove(std::string_view key) override;
    bool sync() override;

    QString fileName() const { return settings_.fileName(); }

private:
    mutable QSettings settings_;
};

}  // namespace kalix::ui
