#include "app/guide_files.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace guide {

QString FindStartPage(const QString& programDir, const QString& sourceGuideDir) {
    const QString installed = QDir(programDir).filePath(QString::fromLatin1(kInstalledPage));
    if (QFileInfo(installed).isFile()) return QDir::cleanPath(installed);
    if (!sourceGuideDir.isEmpty()) {
        const QString source = QDir(sourceGuideDir).filePath(QString::fromLatin1(kStartPage));
        if (QFileInfo(source).isFile()) return QDir::cleanPath(source);
    }
    return {};
}

QUrl PageAddress(const QString& page, const QString& section) {
    QUrl address = QUrl::fromLocalFile(page);
    if (!section.isEmpty()) address.setFragment(section);
    return address;
}

namespace {

// "Ctrl+U, Ctrl+Z" → "<kbd>Ctrl+U</kbd>, <kbd>Ctrl+Z</kbd>"; the separators of a list
// (", ", " … ", " / ") stay text.
QString KeysCell(const QString& keys) {
    QString html;
    QString key;
    auto flush = [&] {
        if (!key.isEmpty()) html += QStringLiteral("<kbd>") + key.toHtmlEscaped() + "</kbd>";
        key.clear();
    };
    const QStringList separators = {QStringLiteral(", "), QStringLiteral(" … "),
                                    QStringLiteral(" / ")};
    for (qsizetype i = 0; i < keys.size();) {
        bool separated = false;
        for (const QString& separator : separators) {
            if (keys.mid(i, separator.size()) == separator) {
                flush();
                html += separator.toHtmlEscaped();
                i += separator.size();
                separated = true;
                break;
            }
        }
        if (!separated) key += keys.at(i++);
    }
    flush();
    return html;
}

}  // namespace

QString KeysTableHtml(const QList<KeyRow>& rows) {
    QString html = QStringLiteral(
        "<table class=\"keys\">\n"
        "<thead><tr><th>Клавиши</th><th>Команда</th><th>Где действует</th></tr></thead>\n"
        "<tbody>\n");
    for (const KeyRow& row : rows) {
        html += QStringLiteral("<tr><td>") + KeysCell(row.keys) + "</td><td>" +
                row.command.toHtmlEscaped() + "</td><td>" + row.place.toHtmlEscaped() +
                "</td></tr>\n";
    }
    html += QStringLiteral("</tbody>\n</table>\n");
    return html;
}

namespace {

struct BlockBounds {
    qsizetype begin;  // first character after the opening marker's line
    qsizetype end;    // first character of the closing marker
};

std::optional<BlockBounds> FindBlock(const QString& page) {
    const QString begin = QString::fromLatin1(kKeysBegin);
    const QString end = QString::fromLatin1(kKeysEnd);
    const qsizetype first = page.indexOf(begin);
    const qsizetype last = page.indexOf(end);
    if (first < 0 || last < 0) return std::nullopt;
    if (page.indexOf(begin, first + 1) >= 0 || page.indexOf(end, last + 1) >= 0)
        return std::nullopt;
    qsizetype blockStart = first + begin.size();
    if (blockStart < page.size() && page.at(blockStart) == u'\n') ++blockStart;
    if (last < blockStart) return std::nullopt;
    return BlockBounds{blockStart, last};
}

}  // namespace

std::optional<QString> KeysBlock(const QString& page) {
    const auto bounds = FindBlock(page);
    if (!bounds) return std::nullopt;
    return page.mid(bounds->begin, bounds->end - bounds->begin);
}

std::optional<QString> WithKeysBlock(const QString& page, const QString& block) {
    const auto bounds = FindBlock(page);
    if (!bounds) return std::nullopt;
    return page.left(bounds->begin) + block + page.mid(bounds->end);
}

}  // namespace guide
