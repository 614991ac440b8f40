// The three files of a project on disk: their names and the encodings they are written in.
//
// Files written here are read back unchanged: a line file (project, participants) is written
// in Windows-1251 when every character fits, otherwise in UTF-8 with its mark; one that was
// read with a mark keeps that encoding. Every file is replaced atomically.
//
// Any thread; no shared state.
#pragma once

#include <QString>
#include <QStringList>

#include "project/project_file.h"
#include "textfiles/textfiles.h"

namespace project {

QString TranscriptCompanionPath(const QString& projectName);    // name + ".txt"
QString ParticipantsCompanionPath(const QString& projectName);  // name + ".par"

// Encoding of the project file and the participants companion. `held` is the encoding the
// last opened project file was read in (Ansi when none had a mark).
textfiles::Encoding LineFileEncoding(const QStringList& lines, textfiles::Encoding held);

// Encoding of the transcript companion: the editor's held encoding when the text comes back
// unchanged through the mark detection, otherwise UTF-8 with its mark.
textfiles::Encoding TranscriptEncoding(const QString& text, textfiles::Encoding held);

// Everything a save writes.
struct ProjectSnapshot {
    ProjectFileData file;
    QString transcript;
    textfiles::Encoding transcriptEncoding = textfiles::Encoding::Ansi;  // the editor's
    ParticipantTable participants;
};

// Writes the project file, the transcript companion and the participants companion, in this
// order. A failure throws textfiles::FileError at the failing file: the files before it are
// written, it and those after it are untouched.
void WriteProject(const QString& projectName, const ProjectSnapshot& snapshot,
                  textfiles::Encoding heldLineEncoding);

}  // namespace project
