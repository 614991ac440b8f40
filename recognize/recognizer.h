// Which recogniser runs and how: the settings of "Распознавание" and the command they make.
// Pure apart from looking for programs and model files; any thread.
#pragma once

#include <QString>
#include <QStringList>

#include "exchange/draft.h"

namespace recognize {

enum class Engine { PocketSphinx, Whisper, Command };

struct Settings {
    Engine engine = Engine::PocketSphinx;
    QString language = QStringLiteral("ru");  // for recognisers that have more than English
    // PocketSphinx: the program (a name looked up on PATH, or a path) and its English model.
    QString pocketSphinxProgram = QStringLiteral("pocketsphinx_continuous");
    QString pocketSphinxModel = QStringLiteral("/usr/share/pocketsphinx/model/en-us");
    // whisper.cpp: its command-line program (empty: whisper-cli or whisper-cpp on PATH) and
    // the model file the user downloaded.
    QString whisperProgram;
    QString whisperModel;
    // Any other program: a command with {input}, {output}, {language}, {model}; without
    // {output} its standard output is the draft.
    QString commandTemplate;
    QString commandModel;
    exchange::DraftFormat commandFormat = exchange::DraftFormat::Srt;
};

// How a recogniser's output becomes a draft.
enum class OutputReader { Draft, PocketSphinx };

struct Invocation {
    QString program;  // an absolute path
    QStringList arguments;
    QString outputFile;  // empty: the standard output is the draft
    OutputReader reader = OutputReader::Draft;
};

// The command for recognising `wav`, the recogniser writing its files into `folder`.
// Throws exchange::ExchangeError when the program or the model is missing, naming it and how
// to get it.
Invocation PlanInvocation(const Settings& settings, const QString& wav, const QString& folder);

// The settings as stored (QSettings group "recognize") and back.
Settings LoadSettings();
void SaveSettings(const Settings& settings);

}  // namespace recognize
