#include "app/command_line.h"

#include <QDir>
#include <QUrl>

namespace {

// The arguments after "--export": IN OUT and its options, paths made absolute.
void ParseExport(const QStringList& rest, const QString& workingFolder, CommandLine& result) {
    ExportRequest request;
    QStringList paths;
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (rest[i] == QStringLiteral("--participants")) {
            if (i + 1 >= rest.size()) {
                result.exportError = QStringLiteral("После --participants нужен файл участников");
                return;
            }
            request.participants = QDir(workingFolder).absoluteFilePath(rest[++i]);
        } else if (rest[i] == QStringLiteral("--no-timestamps")) {
            request.timestamps = false;
        } else {
            paths << QDir(workingFolder).absoluteFilePath(rest[i]);
        }
    }
    if (paths.size() != 2) {
        result.exportError = QStringLiteral(
            "Использование: nuvtolvek --export ВХОД ВЫХОД [--participants ФАЙЛ] "
            "[--no-timestamps]");
        return;
    }
    request.in = paths[0];
    request.out = paths[1];
    result.exportRequest = request;
}

// The arguments after "--recognize": IN OUT [--engine NAME], paths made absolute.
void ParseRecognize(const QStringList& rest, const QString& workingFolder, CommandLine& result) {
    RecognizeRequest request;
    QStringList paths;
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (rest[i] == QStringLiteral("--engine")) {
            const QString engine = i + 1 < rest.size() ? rest[++i] : QString();
            if (engine != QStringLiteral("pocketsphinx") && engine != QStringLiteral("whisper")) {
                result.recognizeError =
                    QStringLiteral("После --engine нужен распознаватель: pocketsphinx или whisper");
                return;
            }
            request.engine = engine;
        } else {
            paths << QDir(workingFolder).absoluteFilePath(rest[i]);
        }
    }
    if (paths.size() != 2) {
        result.recognizeError = QStringLiteral(
            "Использование: nuvtolvek --recognize ЗАПИСЬ ВЫХОД [--engine pocketsphinx|whisper]");
        return;
    }
    request.in = paths[0];
    request.out = paths[1];
    result.recognizeRequest = request;
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments, const QString& workingFolder) {
    CommandLine result;
    if (!arguments.isEmpty() && arguments.first() == QStringLiteral("--export")) {
        ParseExport(arguments.mid(1), workingFolder, result);
        return result;
    }
    if (!arguments.isEmpty() && arguments.first() == QStringLiteral("--recognize")) {
        ParseRecognize(arguments.mid(1), workingFolder, result);
        return result;
    }
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
