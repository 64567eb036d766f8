#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// The names proposed for the files the user saves, and the extension a name gets from the
// file type chosen for it.
namespace FileNames {

// Folder/Stem-YYYYMMDD-HHMMSS.Extension
QString Proposed(const QString& Folder, const QString& Stem, const QString& Extension,
                 const QDateTime& Time);

// The extension a name filter stands for: "PNG pictures (*.png)" gives "png"; empty when it
// names none or several.
QString ExtensionOf(const QString& Filter);

// Path with the filter's extension added when the name has no extension of its own (and is
// no folder).
QString WithExtension(const QString& Path, const QString& Filter);

} // namespace FileNames
