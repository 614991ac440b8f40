#include "player/playlist_files.h"

#include <QFileInfo>

const QStringList& RecordingExtensions() {
    static const QStringList extensions = {
        QStringLiteral("wav"),  QStringLiteral("ogg"), QStringLiteral("mp3"),
        QStringLiteral("m4a"),  QStringLiteral("aac"), QStringLiteral("mp4"),
        QStringLiteral("m4v"),  QStringLiteral("mov"), QStringLiteral("mkv"),
        QStringLiteral("webm"), QStringLiteral("wma"), QStringLiteral("opus"),
        QStringLiteral("flac"), QStringLiteral("amr"), QStringLiteral("3gp")};
    return extensions;
}

QStringList PlaylistDialogFilters() {
    QStringList patterns;
    for (const QString& extension : RecordingExtensions())
        patterns << QStringLiteral("*.") + extension;
    return {QStringLiteral("Все поддерживаемые файлы (%1)").arg(patterns.join(QLatin1Char(' '))),
            QStringLiteral("Все звуковые файлы (*.wav *.ogg *.mp3)"),
            QStringLiteral("Wav-файлы (*.wav)"),
            QStringLiteral("OGG-файлы (*.ogg)"),
            QStringLiteral("Mp3-файлы (*.mp3)"),
            QStringLiteral("Все файлы (*)")};
}

bool IsRecordingName(const QString& path) {
    return RecordingExtensions().contains(QFileInfo(path).suffix().toLower());
}

QStringList DroppedRecordings(const QList<QUrl>& urls) {
    QStringList paths;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (IsRecordingName(path) && QFileInfo(path).isFile()) paths << path;
    }
    return paths;
}
