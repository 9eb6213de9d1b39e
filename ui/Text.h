#pragma once

#include <QString>

#include <string>
#include <string_view>

// The one conversion between the program's texts (UTF-8, in forms/ and wording/)
// and Qt's.
namespace ui {

inline QString qtext(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string utf8(const QString &text)
{
    return text.toStdString();
}

} // namespace ui
