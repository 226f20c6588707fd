#pragma once
// Paths to and from Qt's texts without a detour through a narrow string: on Windows a
// std::string path is read in the ANSI code page, where a user's name such as "Nicolò" in a
// per-user install folder may not survive; on POSIX systems Qt's file-name encoding is used.
#include <QFile>
#include <QString>
#include <filesystem>

namespace kt6 {

inline std::filesystem::path toPath(const QString& text) {
#ifdef _WIN32
    return std::filesystem::path(text.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(text).toStdString());
#endif
}

inline QString pathText(const std::filesystem::path& path) {
#ifdef _WIN32
    return QString::fromStdWString(path.native());
#else
    return QFile::decodeName(path.c_str());
#endif
}

}  // namespace kt6
