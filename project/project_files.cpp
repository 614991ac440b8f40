#include "project/project_files.h"

namespace project {

using textfiles::Encoding;

QString TranscriptCompanionPath(const QString& projectName) {
    return projectName + QStringLiteral(".txt");
}

QString ParticipantsCompanionPath(const QString& projectName) {
    return projectName + QStringLiteral(".par");
}

Encoding LineFileEncoding(const QStringList& lines, Encoding held) {
    if (held == Encoding::Utf8 || held == Encoding::Utf16LE || held == Encoding::Utf16BE)
        return held;
    return textfiles::EncodingThatReadsBack(textfiles::JoinLines(lines), Encoding::Ansi);
}

Encoding TranscriptEncoding(const QString& text, Encoding held) {
    // UTF-7 has no mark and comes back as Windows-1251, so it never reads back.
    return textfiles::EncodingThatReadsBack(text, held);
}

void WriteProject(const QString& projectName, const ProjectSnapshot& snapshot,
                  Encoding heldLineEncoding) {
    const QStringList projectLines = ProjectFileLines(snapshot.file);
    textfiles::WriteLines(projectName, projectLines,
                          LineFileEncoding(projectLines, heldLineEncoding));

    textfiles::WriteTextFile(TranscriptCompanionPath(projectName), snapshot.transcript,
                             TranscriptEncoding(snapshot.transcript, snapshot.transcriptEncoding));

    const QStringList participantLines = ParticipantsLines(snapshot.participants);
    textfiles::WriteLines(ParticipantsCompanionPath(projectName), participantLines,
                          LineFileEncoding(participantLines, heldLineEncoding));
}

}  // namespace project
