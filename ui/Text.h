#pragma once

#include <QFile>
#include <QString>

#include <filesystem>
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

// A file's name as the system has it, from the one Qt shows and back.
inline std::filesystem::path toPath(const QString &name)
{
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}

inline QString pathText(const std::filesystem::path &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

} // namespace ui
