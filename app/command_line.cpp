#include "app/command_line.h"

#include <QDir>
#include <QUrl>

CommandLine ParseCommandLine(const QStringList& arguments, const QString& workingFolder) {
    CommandLine result;
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        if (!optionsEnded && argument == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument == QStringLiteral("--version")) {
            result.showVersion = true;
            continue;
        }
        if (!optionsEnded && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            result.ignored << argument;
            continue;
        }
        if (argument.isEmpty()) continue;
        QString path = argument;
        if (argument.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
            const QUrl url(argument);
            // A host other than this machine's is a share the program cannot open as a path.
            const bool here = url.host().isEmpty() || url.host() == QStringLiteral("localhost");
            if (!url.isLocalFile() || !here) {
                result.ignored << argument;
                continue;
            }
            path = url.toLocalFile();
        }
        path = QDir::cleanPath(QDir(workingFolder).absoluteFilePath(path));
        if (path.endsWith(QStringLiteral(".prj"), Qt::CaseInsensitive)) {
            if (result.project.isEmpty())
                result.project = path;
            else
                result.ignored << argument;
        } else {
            result.recordings << path;
        }
    }
    return result;
}
