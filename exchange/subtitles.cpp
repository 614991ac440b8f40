#include "exchange/subtitles.h"

#include <cmath>
#include <cstdio>

namespace exchange {

namespace {

// "-->" inside a cue's text would read as a time line.
QString SafeCueText(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("-->"), QStringLiteral("->"));
    return out;
}

QString VttEscape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&')
            out += QStringLiteral("&amp;");
        else if (c == u'<')
            out += QStringLiteral("&lt;");
        else if (c == u'>')
            out += QStringLiteral("&gt;");
        else
            out += c;
    }
    return out;
}

QString SpeakerName(int speaker, const std::vector<Speaker>& speakers) {
    return speaker >= 0 && speaker < static_cast<int>(speakers.size()) ? speakers[speaker].name
                                                                       : QString();
}

}  // namespace

QString SubtitleTime(double seconds, QChar decimalSeparator) {
    const long long ms = std::llround(std::max(0.0, seconds) * 1000.0);
    char text[40];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld%c%03lld", ms / 3600000,
                  (ms / 60000) % 60, (ms / 1000) % 60,
                  static_cast<char>(decimalSeparator.unicode()), ms % 1000);
    return QString::fromLatin1(text);
}

QByteArray SrtBytes(const std::vector<Cue>& cues, const std::vector<Speaker>& speakers) {
    QByteArray out;
    out.reserve(static_cast<qsizetype>(cues.size()) * 128);
    int number = 0;
    char line[96];
    for (const Cue& cue : cues) {
        const QByteArray start = SubtitleTime(cue.start, u',').toLatin1();
        const QByteArray end = SubtitleTime(cue.end, u',').toLatin1();
        const int n = std::snprintf(line, sizeof line, "%d\r\n%s --> %s\r\n", ++number,
                                    start.constData(), end.constData());
        out.append(line, n);
        for (const CuePart& part : cue.parts) {
            const QString name = SpeakerName(part.speaker, speakers);
            if (!name.isEmpty()) out += name.toUtf8() + ": ";
            out += SafeCueText(part.text).toUtf8();
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

QByteArray VttBytes(const std::vector<Cue>& cues, const std::vector<Speaker>& speakers) {
    QString out = QStringLiteral("WEBVTT\n\n");
    out.reserve(static_cast<qsizetype>(cues.size()) * 64);
    for (const Cue& cue : cues) {
        out += SubtitleTime(cue.start, u'.') + QStringLiteral(" --> ") +
               SubtitleTime(cue.end, u'.') + u'\n';
        for (const CuePart& part : cue.parts) {
            const QString name = SpeakerName(part.speaker, speakers);
            // The voice tag's annotation ends at ">": a name holding one is cut there.
            if (!name.isEmpty())
                out += QStringLiteral("<v ") + QString(name).replace(u'>', u' ') + u'>';
            out += VttEscape(SafeCueText(part.text)) + u'\n';
        }
        out += u'\n';
    }
    return out.toUtf8();
}

}  // namespace exchange
