#include "project/project_file.h"

#include <cmath>
#include <limits>

namespace project {

namespace {

const QString kPlaying = QStringLiteral("PLAYING=");
const QString kCircles = QStringLiteral("CIRCLES=");
const QString kPause = QStringLiteral("PAUSE=");
const QString kShiftBack = QStringLiteral("SHIFT_BACK=");
const QString kCurrent = QStringLiteral("CURRENT=");
const QString kPos = QStringLiteral("POS=");
const QString kSpeed = QStringLiteral("SPEED=");
const QString kSelection = QStringLiteral("SELECTION=");
const QString kVoiceChannel = QStringLiteral("VOICE_CHANNEL=");
const QString kVoiceNoise = QStringLiteral("VOICE_NOISE=");
const QString kVoiceLevelling = QStringLiteral("VOICE_LEVELLING=");
const QString kFile = QStringLiteral("FILE=");

}  // namespace

QStringList ProjectFileLines(const ProjectFileData& data) {
    QStringList lines;
    lines.reserve(10 + data.files.size());
    lines << kPlaying + data.playing << kCircles + data.circles << kPause + data.pause
          << kShiftBack + data.shiftBack << kCurrent + QString::number(data.current)
          << kPos + QString::number(data.pos);
    if (!data.speed.isEmpty()) lines << kSpeed + data.speed;
    if (!data.selection.isEmpty()) lines << kSelection + data.selection;
    if (!data.voiceChannel.isEmpty()) lines << kVoiceChannel + data.voiceChannel;
    if (!data.voiceNoise.isEmpty()) lines << kVoiceNoise + data.voiceNoise;
    if (!data.voiceLevelling.isEmpty()) lines << kVoiceLevelling + data.voiceLevelling;
    for (const QString& file : data.files) lines << kFile + file;
    return lines;
}

int ParseIntOrZero(const QString& text) {
    // Plain signed decimal only: no blanks, no base prefixes.
    if (text.isEmpty()) return 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isDigit() && c.unicode() < 128) continue;
        if (i == 0 && (c == u'-' || c == u'+') && text.size() > 1) continue;
        return 0;
    }
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

ProjectFileRead ParseProjectFile(const QStringList& lines) {
    ProjectFileRead read;
    for (const QString& line : lines) {
        if (line.startsWith(kPlaying)) read.playing = line.mid(kPlaying.size());
        if (line.startsWith(kCircles)) read.circles = line.mid(kCircles.size());
        if (line.startsWith(kPause)) read.pause = line.mid(kPause.size());
        if (line.startsWith(kShiftBack)) read.shiftBack = line.mid(kShiftBack.size());
        if (line.startsWith(kCurrent)) read.current = ParseIntOrZero(line.mid(kCurrent.size()));
        if (line.startsWith(kPos)) read.pos = ParseIntOrZero(line.mid(kPos.size()));
        if (line.startsWith(kSpeed)) read.speed = line.mid(kSpeed.size());
        if (line.startsWith(kSelection)) read.selection = line.mid(kSelection.size());
        if (line.startsWith(kVoiceChannel)) read.voiceChannel = line.mid(kVoiceChannel.size());
        if (line.startsWith(kVoiceNoise)) read.voiceNoise = line.mid(kVoiceNoise.size());
        if (line.startsWith(kVoiceLevelling))
            read.voiceLevelling = line.mid(kVoiceLevelling.size());
        if (line.startsWith(kFile)) read.files << line.mid(kFile.size());
    }
    return read;
}

int SecondsToPosValue(double seconds) {
    if (std::isnan(seconds)) return 0;
    const double t = std::trunc(seconds);
    if (t >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (t <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(t);
}

QString CellForCompanion(const QString& cell) {
    QString out = cell;
    for (QChar& c : out)
        if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
    return out;
}

QStringList ParticipantsLines(const ParticipantTable& table) {
    QStringList lines;
    lines.reserve(kParticipantCount);
    for (const ParticipantCells& p : table)
        lines << CellForCompanion(p.picture) + u'\t' + CellForCompanion(p.name) + u'\t' +
                     CellForCompanion(p.color);
    return lines;
}

ParticipantTable ParseParticipantsLines(const QStringList& lines) {
    ParticipantTable table;
    for (int k = 0; k < kParticipantCount && k < lines.size(); ++k) {
        const QStringList fields = lines.at(k).split(u'\t');
        ParticipantCells& p = table[k];
        p.picture = fields.value(0);
        p.name = fields.value(1);
        p.color = fields.value(2);
    }
    return table;
}

}  // namespace project
