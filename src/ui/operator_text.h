#pragma once
// An operator text by string number for the dialogs: the bundle's text, or
// the program's own table when the bundle is missing, so that a dialog's
// labels and buttons still say what they do.

#include <QString>

#include <cstdint>

#include "app/string_table.h"
#include "ui/resource_bundle.h"

namespace kalix::ui {

inline QString operatorText(std::uint16_t id) {
    QString text = resourceString(id);
    if (text.isEmpty()) text = QString::fromUtf8(app::stringText(id));
    return text;
}

}  // namespace kalix::ui
