#include "app/command_line_open.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "app/application.h"
#include "app/project_commands.h"
#include "player/player_window.h"

QStringList MissingFiles(const CommandLine& line) {
    QStringList missing;
    QStringList named = line.recordings;
    if (!line.project.isEmpty()) named.prepend(line.project);
    for (const QString& path : named)
        if (!QFileInfo(path).isFile() && !missing.contains(path)) missing << path;
    return missing;
}

QString MissingFilesMessage(const QStringList& missing) {
    QStringList lines;
    for (const QString& path : missing) lines << QDir::toNativeSeparators(path);
    return (missing.size() == 1 ? QStringLiteral("Файл не найден:\n")
                                : QStringLiteral("Файлы не найдены:\n")) +
           lines.join(u'\n');
}

void OpenFromCommandLine(const CommandLine& line, TForm1& player, TForm2& editor,
                         TForm5& participants) {
    const QStringList missing = MissingFiles(line);
    if (!missing.isEmpty()) {
        const QString message = MissingFilesMessage(missing);
        std::fprintf(stderr, "nuvtolvek: %s\n", message.toLocal8Bit().constData());
        ShowErrorDialog(message);
    }
    if (!line.project.isEmpty() && !missing.contains(line.project))
        project::OpenProjectFile(player, editor, participants, line.project);
    QStringList recordings;
    for (const QString& path : line.recordings)
        if (!missing.contains(path)) recordings << path;
    player.AddRecordings(recordings);
}
