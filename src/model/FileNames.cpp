#include "FileNames.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace FileNames {

QString Proposed(const QString& Folder, const QString& Stem, const QString& Extension,
                 const QDateTime& Time) {
    return QDir(Folder).filePath(Stem + Time.toString("-yyyyMMdd-HHmmss.") + Extension);
}

QString ExtensionOf(const QString& Filter) {
    static const QRegularExpression pattern(QStringLiteral(R"(\(\*\.(\w+)\)$)"));
    const QRegularExpressionMatch match = pattern.match(Filter.trimmed());
    return match.hasMatch() ? match.captured(1) : QString();
}

QString WithExtension(const QString& Path, const QString& Filter) {
    const QString extension = ExtensionOf(Filter);
    const QFileInfo file(Path);
    // A folder stays what it is, so that writing to it fails with its own reason.
    if (Path.isEmpty() || extension.isEmpty() || !file.suffix().isEmpty() || file.isDir())
        return Path;
    return Path + '.' + extension;
}

} // namespace FileNames
