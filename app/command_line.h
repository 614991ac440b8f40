// The program's command line: `nuvtolvek [files…]`. Sound files go to the playlist; a
// project file (.prj) is opened. A pure function, so that new options are one more case.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// `--export IN OUT [--participants FILE] [--no-timestamps]`: converts without a window.
struct ExportRequest {
    QString in;
    QString out;
    QString participants;  // empty: no participants companion
    bool timestamps = true;
};

// `--recognize IN OUT [--engine pocketsphinx|whisper]`: a draft by speech recognition,
// without a window; the recogniser as set in the settings unless --engine names one.
struct RecognizeRequest {
    QString in;
    QString out;
    QString engine;  // empty, "pocketsphinx" or "whisper"
};

struct CommandLine {
    QStringList recordings;    // absolute paths, in the order given
    QString project;           // the first .prj named; empty when none
    QStringList ignored;       // unknown options and further projects, as given
    bool showVersion = false;  // --version: print the version and start nothing
    std::optional<ExportRequest> exportRequest;
    QString exportError;  // a malformed --export, in Russian; nothing starts then
    std::optional<RecognizeRequest> recognizeRequest;
    QString recognizeError;  // a malformed --recognize, in Russian
};

// `arguments` without the program's own name; relative paths are taken from
// `workingFolder`. file:// URLs (as a desktop entry passes them) count as their paths.
// After "--" every argument is a file, even one that starts with "-".
CommandLine ParseCommandLine(const QStringList& arguments, const QString& workingFolder);
