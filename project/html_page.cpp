#include "project/html_page.h"

#include <QStringList>
#include <utility>
#include <vector>

#include "timecode/timestamps.h"

namespace project {

namespace {

qsizetype LastSeparator(const QString& path) {
    return std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
}

const QString kTitle = QStringLiteral("NUV Tolvek - Расшифровка аудиозаписей");

// A picture's file name inside src='…': the characters a browser would take as the start
// of a query or fragment, and the percent sign itself, are percent-encoded.
QString PictureReference(const QString& fileName) {
    QString out;
    out.reserve(fileName.size());
    for (QChar c : fileName) {
        if (c == u'%')
            out += QStringLiteral("%25");
        else if (c == u'#')
            out += QStringLiteral("%23");
        else if (c == u'?')
            out += QStringLiteral("%3F");
        else
            out += c;
    }
    return out;
}

QString EscapeUnrepresentable(const QString& page,
                              const std::function<bool(char32_t)>& representable) {
    QString out;
    qsizetype copied = 0;  // characters before this are already in `out`
    for (qsizetype i = 0; i < page.size(); ++i) {
        const QChar c = page.at(i);
        if (c.unicode() < 0x80) continue;
        char32_t code = c.unicode();
        qsizetype units = 1;
        if (c.isHighSurrogate() && i + 1 < page.size() && page.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(c, page.at(i + 1));
            units = 2;
        }
        if (!representable(code)) {
            if (out.isEmpty()) out.reserve(page.size() + 64);
            out.append(QStringView(page).mid(copied, i - copied));
            out += QStringLiteral("&#%1;").arg(static_cast<quint32>(code));
            copied = i + units;
        }
        i += units - 1;
    }
    if (copied == 0) return page;
    out.append(QStringView(page).mid(copied));
    return out;
}

}  // namespace

QString ExtensionOf(const QString& path) {
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot < 0 ? QString() : path.mid(dot);
}

QString FileNameOf(const QString& path) {
    const qsizetype sep = LastSeparator(path);
    return sep < 0 ? path : path.mid(sep + 1);
}

QString FolderOf(const QString& path) {
    const qsizetype sep = LastSeparator(path);
    return sep < 0 ? path : path.left(sep);
}

QString ReplaceAllText(const QString& text, const QString& pattern, const QString& replacement) {
    if (pattern.isEmpty()) return text;
    QString out;
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(pattern, from); at >= 0; at = text.indexOf(pattern, from)) {
        if (out.isEmpty()) out.reserve(text.size());
        out.append(QStringView(text).mid(from, at - from));
        out.append(replacement);
        from = at + pattern.size();
    }
    if (from == 0) return text;
    out.append(QStringView(text).mid(from));
    return out;
}

QString ColorToHtml(std::uint32_t color) {
    return QStringLiteral("#%1%2%3")
        .arg(color & 0xFF, 2, 16, QChar(u'0'))
        .arg((color >> 8) & 0xFF, 2, 16, QChar(u'0'))
        .arg((color >> 16) & 0xFF, 2, 16, QChar(u'0'));
}

std::optional<std::int32_t> ParseColorText(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c.unicode() >= u'0' && c.unicode() <= u'9') continue;
        if (i == 0 && (c == u'-' || c == u'+') && t.size() > 1) continue;
        return std::nullopt;
    }
    bool ok = false;
    const int value = t.toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return value;
}

QString HtmlEscape(const QString& text) {
    QString out;
    qsizetype copied = 0;  // characters before this are already in `out`
    for (qsizetype i = 0; i < text.size(); ++i) {
        QLatin1StringView entity;
        switch (text.at(i).unicode()) {
            case u'&':
                entity = QLatin1StringView("&amp;");
                break;
            case u'<':
                entity = QLatin1StringView("&lt;");
                break;
            case u'>':
                entity = QLatin1StringView("&gt;");
                break;
            case u'\'':
                entity = QLatin1StringView("&#39;");
                break;
            case u'"':
                entity = QLatin1StringView("&quot;");
                break;
            default:
                continue;
        }
        if (out.isEmpty()) out.reserve(text.size() + text.size() / 16 + 8);
        out.append(QStringView(text).mid(copied, i - copied));
        out.append(entity);
        copied = i + 1;
    }
    if (copied == 0) return text;
    out.append(QStringView(text).mid(copied));
    return out;
}

QString HtmlEscapeMarkingTimestamps(const QString& text) {
    const std::vector<TimestampSpan> stamps = TimestampsIn(text, 0, text.size());
    if (stamps.empty()) return HtmlEscape(text);
    QString out;
    qsizetype copied = 0;
    for (const TimestampSpan& stamp : stamps) {
        out += HtmlEscape(text.mid(copied, stamp.start - copied));
        out += QStringLiteral("<span class=\"timestamp\">") +
               HtmlEscape(text.mid(stamp.start, stamp.length)) + QStringLiteral("</span>");
        copied = stamp.start + stamp.length;
    }
    out += HtmlEscape(text.mid(copied));
    return out;
}

HtmlExportError::HtmlExportError(const QString& message)
    : std::runtime_error(message.toStdString()), message_(message) {}

QString TurnRow(const QString& pictureName, const QString& name, const QString& htmlColor) {
    const QString escapedName = HtmlEscape(name);
    // Without a picture the cell stays empty: an image without a source shows as broken.
    const QString image =
        pictureName.isEmpty()
            ? QString()
            : QStringLiteral("<img src='") + HtmlEscape(PictureReference(pictureName)) +
                  QStringLiteral("' title='") + escapedName + QStringLiteral("'>");
    return QStringLiteral("</td></tr>\r\n<tr><td>") + image + QStringLiteral("</td><td>") +
           QStringLiteral("<font color=") + htmlColor + QStringLiteral("><b>") + escapedName +
           QStringLiteral("</b><br>");
}

QString BuildHtmlPage(const QString& transcript, const ParticipantTable& participants,
                      const QString& charset, const std::function<bool(char32_t)>& representable) {
    // The transcript as pieces: its own text (escaped at the end) and rows already made,
    // which later passes must not look into.
    struct Piece {
        bool row;
        QString text;
    };
    std::vector<Piece> pieces{{false, transcript}};

    for (int n = 0; n < kParticipantCount; ++n) {
        const ParticipantCells& p = participants[n];
        const QString picture = p.picture.isEmpty() ? QString() : FileNameOf(p.picture);
        if (p.name.isEmpty()) continue;
        const std::optional<std::int32_t> color = ParseColorText(p.color);
        if (!color)
            throw HtmlExportError(
                QStringLiteral("\"%1\" — недопустимое значение цвета участника %2 (%3)")
                    .arg(p.color)
                    .arg(n + 1)
                    .arg(p.name));
        const QString row =
            TurnRow(picture, p.name, ColorToHtml(static_cast<std::uint32_t>(*color)));
        const QString marker = u'[' + p.name + u']';

        std::vector<Piece> next;
        next.reserve(pieces.size());
        for (Piece& piece : pieces) {
            if (piece.row) {
                next.push_back(std::move(piece));
                continue;
            }
            qsizetype from = 0;
            for (qsizetype at = piece.text.indexOf(marker, from); at >= 0;
                 at = piece.text.indexOf(marker, from)) {
                if (at > from) next.push_back({false, piece.text.mid(from, at - from)});
                next.push_back({true, row});
                from = at + marker.size();
            }
            if (from == 0)
                next.push_back(std::move(piece));
            else if (from < piece.text.size())
                next.push_back({false, piece.text.mid(from)});
        }
        pieces = std::move(next);
    }

    QString body;
    body.reserve(transcript.size() + transcript.size() / 8);
    for (const Piece& piece : pieces) {
        body += piece.row ? piece.text : HtmlEscapeMarkingTimestamps(piece.text);
    }

    QString page;
    page.reserve(body.size() + 512);
    const QString crlf = QStringLiteral("\r\n");
    page += QStringLiteral("<html>") + crlf;
    page += QStringLiteral("<head>") + crlf;
    page += QStringLiteral("<meta charset=\"%1\">").arg(charset) + crlf;
    page += QStringLiteral("<title>") + kTitle + QStringLiteral("</title>") + crlf;
    page += QStringLiteral("</head>") + crlf;
    page += QStringLiteral("<body>") + crlf;
    page += QStringLiteral("<h1>") + kTitle + QStringLiteral("</h1>") + crlf;
    page += QStringLiteral("<table>") + crlf;
    page += QStringLiteral("<tr><td>&nbsp;</td><td>") + crlf;
    page += body + crlf;
    page += QStringLiteral("</td></tr>") + crlf;
    page += QStringLiteral("</table>") + crlf;
    page += QStringLiteral("</body>") + crlf;
    page += QStringLiteral("</html>") + crlf;
    return representable ? EscapeUnrepresentable(page, representable) : page;
}

QString HtmlFileName(const QString& chosen) {
    const QString ext = ExtensionOf(chosen).toLower();
    if (ext == QStringLiteral(".htm") || ext == QStringLiteral(".html")) return chosen;
    return chosen + QStringLiteral(".html");
}

QString PictureCopyPath(const QString& pagePath, const QString& picturePath) {
    const qsizetype sep = LastSeparator(pagePath);
    const QString name = FileNameOf(picturePath);
    return sep < 0 ? name : FolderOf(pagePath) + u'/' + name;
}

}  // namespace project
