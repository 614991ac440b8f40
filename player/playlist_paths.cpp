#include "player/playlist_paths.h"

bool IsStorablePlaylistPath(const QString& path) {
    return !path.contains(u'\r') && !path.contains(u'\n');
}

QStringList StorablePlaylistPaths(const QStringList& chosen, QStringList* refused) {
    QStringList taken;
    for (const QString& path : chosen) {
        if (IsStorablePlaylistPath(path))
            taken << path;
        else if (refused != nullptr)
            *refused << path;
    }
    return taken;
}

QString RefusedPathsMessage(const QStringList& refused) {
    QString text = refused.size() == 1
                       ? QStringLiteral("Файл не добавлен: в его имени есть перевод строки.")
                       : QStringLiteral("Файлы не добавлены: в их именах есть перевод строки.");
    for (QString path : refused) {
        path.replace(QLatin1String("\r\n"), QStringLiteral("⏎"));
        path.replace(u'\r', QStringLiteral("⏎"));
        path.replace(u'\n', QStringLiteral("⏎"));
        text += u'\n' + path;
    }
    return text;
}
