#include "project/project_files.h"

namespace project {

using textfiles::Encoding;

namespace {

// Whether the bytes written in `encoding` give the same text when read with mark detection:
// besides characters the code page lacks, a text starting with "яю", "юя" or "п»ї" would be
// taken for a marked file in Windows-1251.
bool ReadsBack(const QString& text, Encoding encoding) {
    return textfiles::DecodeDetect(textfiles::Encode(text, encoding)).text ==
           textfiles::NormalizeLineBreaks(text);
}

}  // namespace

QString TranscriptCompanionPath(const QString& projectName) {
    return projectName + QStringLiteral(".txt");
}

QString ParticipantsCompanionPath(const QString& projectName) {
    return projectName + QStringLiteral(".par");
}

bool FitsEncoding(const QString& text, Encoding encoding) {
    switch (encoding) {
        case Encoding::Utf8:
        case Encoding::Utf16LE:
        case Encoding::Utf16BE:
            // Only unpaired surrogates are lost, and those cannot be typed.
            return true;
        case Encoding::Ascii:
            for (QChar c : text)
                if (c.unicode() > 0x7F) return false;
            return true;
        default:
            break;
    }
    return textfiles::Decode(textfiles::Encode(text, encoding), encoding) ==
           textfiles::NormalizeLineBreaks(text);
}

Encoding LineFileEncoding(const QStringList& lines, Encoding held) {
    if (held == Encoding::Utf8 || held == Encoding::Utf16LE || held == Encoding::Utf16BE)
        return held;
    return ReadsBack(textfiles::JoinLines(lines), Encoding::Ansi) ? Encoding::Ansi : Encoding::Utf8;
}

Encoding TranscriptEncoding(const QString& text, Encoding held) {
    switch (held) {
        case Encoding::Utf8:
        case Encoding::Utf16LE:
        case Encoding::Utf16BE:
            return held;
        case Encoding::Ansi:
        case Encoding::Ascii:
            // Plain 8-bit text is read back as Windows-1251, which holds all of ASCII.
            return ReadsBack(text, held) ? held : Encoding::Utf8;
        case Encoding::Utf7:
            // No mark: it would come back as Windows-1251.
            break;
    }
    return Encoding::Utf8;
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
