#include "dictionary/dictionary_location.h"

#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFileInfo>

#include "textfiles/textfiles.h"

bool PathIsWritable(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

QString UserDictionaryPath() {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    // A relative value is invalid and ignored, as the base directory rules say.
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QStringLiteral("/nuvtolvek/") + QLatin1String(kDictionaryFileName);
}

QString PrepareDictionaryFile(const QString& userPath, const QString& besideProgramPath,
                              const std::function<bool(const QString&)>& writable) {
    if (QFileInfo::exists(userPath)) return userPath;
    const QFileInfo beside(besideProgramPath);
    const bool besideExists = beside.exists();
    // A save replaces the file through a temporary one in the same folder.
    if (besideExists && writable(besideProgramPath) && writable(beside.absolutePath()))
        return besideProgramPath;

    const QByteArray start =
        besideExists ? textfiles::ReadFileBytes(besideProgramPath) : QByteArray();
    const QString folder = QFileInfo(userPath).absolutePath();
    textfiles::MakePrivateFolders(folder);
    textfiles::WriteFileBytes(userPath, start);
    return userPath;
}
