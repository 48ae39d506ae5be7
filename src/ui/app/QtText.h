// The one conversion from the core's UTF-8 strings to Qt's.
#pragma once

#include <QString>

#include <string_view>

namespace kestrova::ui {

inline QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace kestrova::ui
