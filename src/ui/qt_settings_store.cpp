#include "ui/qt_settings_store.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace kalix::ui {
namespace {

QString keyOf(std::string_view key) { return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())); }

bool isBytes(const QVariant& v) { return v.typeId() == QMetaType::QByteArray; }

}  // namespace

QtSettingsStore::QtSettingsStore() : settings_(QSettings::NativeFormat, QSettings::UserScope, "Vorn", "Kalix") {}

std::optional<std::uint32_t> QtSettingsStore::readNumber(std::string_view key) const {
    const QVariant v = settings_.value(keyOf(key));
    // Text files give every number back as text.
    if (!v.isValid() || isBytes(v) || v.typeId() == QMetaType::QStringList) return std::nullopt;
    bool ok = false;
    const uint value = v.toString().toUInt(&ok);
    if (!ok) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::optional<std::string> QtSettingsStore::readText(std::string_view key) const {
    const QVariant v = settings_.value(keyOf(key));
    if (!v.isValid() || isBytes(v) || v.typeId() == QMetaType::QStringList) return std::nullopt;
    return v.toString().toStdString();
}

std::optional<std::vector<std::uint8_t>> QtSettingsStore::readBytes(std::string_view key) const {
    const QVariant v = settings_.value(keyOf(key));
    if (!isBytes(v)) return std::nullopt;
    const QByteArray bytes = v.toByteArray();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

void QtSettingsStore::writeNumber(std::string_view key, std::uint32_t value) {
    settings_.setValue(keyOf(key), QVariant::fromValue(static_cast<uint>(value)));
}

void QtSettingsStore::writeText(std::string_view key, std::string_view text) {
    settings_.setValue(keyOf(key), QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void QtSettingsStore::writeBytes(std::string_view key, std::span<const std::uint8_t> bytes) {
    settings_.setValue(keyOf(key), QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size())));
}

bool QtSettingsStore::contains(std::string_view key) const { return settings_.contains(keyOf(key)); }

void QtSettingsStore::remove(std::string_view key) { settings_.remove(keyOf(key)); }

bool QtSettingsStore::sync() {
    settings_.sync();
    return settings_.status() == QSettings::NoError;
}

}  // namespace kalix::ui
