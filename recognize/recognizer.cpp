#include "recognize/recognizer.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include "exchange/exchange_error.h"

namespace recognize {
namespace {

using exchange::ExchangeError;

// A program named by path, or by name on PATH; empty when there is none.
QString FindProgram(const QString& program) {
    if (program.isEmpty()) return {};
    if (program.contains(QLatin1Char('/'))) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(program);
}

QString Extension(exchange::DraftFormat format) {
    switch (format) {
        case exchange::DraftFormat::Srt:
            return QStringLiteral("srt");
        case exchange::DraftFormat::Vtt:
            return QStringLiteral("vtt");
        case exchange::DraftFormat::Json:
            return QStringLiteral("json");
    }
    return QStringLiteral("srt");
}

Invocation PocketSphinx(const Settings& s, const QString& wav) {
    Invocation run;
    run.program = FindProgram(s.pocketSphinxProgram);
    if (run.program.isEmpty())
        throw ExchangeError(
            QStringLiteral(
                "Распознаватель PocketSphinx (%1) не установлен. Установите пакеты pocketsphinx и "
                "pocketsphinx-en-us: sudo apt install pocketsphinx pocketsphinx-en-us")
                .arg(s.pocketSphinxProgram));
    const QDir model(s.pocketSphinxModel);
    const QString acoustic = model.filePath(QStringLiteral("en-us"));
    const QString language = model.filePath(QStringLiteral("en-us.lm.bin"));
    const QString dictionary = model.filePath(QStringLiteral("cmudict-en-us.dict"));
    for (const QString& part : {acoustic, language, dictionary}) {
        if (!QFileInfo::exists(part))
            throw ExchangeError(
                QStringLiteral(
                    "Нет английской модели PocketSphinx (%1). Установите пакет pocketsphinx-en-us: "
                    "sudo apt install pocketsphinx-en-us")
                    .arg(part));
    }
    // Stretches of digital silence (edited or synthetic recordings) throw its noise and
    // level tracking off; its own half-bit noise, from a fixed seed, mends that and keeps
    // the draft of a recording the same on every run.
    run.arguments = {QStringLiteral("-infile"), wav,
                     QStringLiteral("-time"),   QStringLiteral("yes"),
                     QStringLiteral("-hmm"),    acoustic,
                     QStringLiteral("-lm"),     language,
                     QStringLiteral("-dict"),   dictionary,
                     QStringLiteral("-dither"), QStringLiteral("yes"),
                     QStringLiteral("-seed"),   QStringLiteral("1")};
    run.reader = OutputReader::PocketSphinx;
    return run;
}

constexpr const char* kWhisperHint =
    "Соберите whisper.cpp (https://github.com/ggerganov/whisper.cpp) и укажите его программу "
    "whisper-cli в «Настройки» → «Распознавание»";

Invocation Whisper(const Settings& s, const QString& wav, const QString& folder) {
    Invocation run;
    if (s.whisperProgram.isEmpty()) {
        run.program = FindProgram(QStringLiteral("whisper-cli"));
        if (run.program.isEmpty()) run.program = FindProgram(QStringLiteral("whisper-cpp"));
    } else {
        run.program = FindProgram(s.whisperProgram);
    }
    if (run.program.isEmpty())
        throw ExchangeError(
            QStringLiteral("Распознаватель whisper.cpp (%1) не найден. %2")
                .arg(s.whisperProgram.isEmpty() ? QStringLiteral("whisper-cli") : s.whisperProgram,
                     QString::fromUtf8(kWhisperHint)));
    if (s.whisperModel.isEmpty() || !QFileInfo(s.whisperModel).isFile())
        throw ExchangeError(
            QStringLiteral(
                "Нет файла модели whisper.cpp (%1). Скачайте модель, например командой "
                "models/download-ggml-model.sh small из whisper.cpp, и укажите её файл в "
                "«Настройки» → «Распознавание»")
                .arg(s.whisperModel.isEmpty() ? QStringLiteral("не выбран") : s.whisperModel));
    const QString base = QDir(folder).filePath(QStringLiteral("draft"));
    run.arguments = {QStringLiteral("-m"),
                     s.whisperModel,
                     QStringLiteral("-f"),
                     wav,
                     QStringLiteral("-l"),
                     s.language.isEmpty() ? QStringLiteral("ru") : s.language,
                     QStringLiteral("-oj"),
                     QStringLiteral("-of"),
                     base,
                     QStringLiteral("-pp")};
    run.outputFile = base + QStringLiteral(".json");
    return run;
}

Invocation Command(const Settings& s, const QString& wav, const QString& folder) {
    QStringList parts = QProcess::splitCommand(s.commandTemplate);
    if (parts.isEmpty())
        throw ExchangeError(
            QStringLiteral("Не задана команда распознавателя («Настройки» → «Распознавание»)"));
    if (!s.commandModel.isEmpty() && !QFileInfo::exists(s.commandModel))
        throw ExchangeError(
            QStringLiteral("Нет файла модели распознавателя: %1").arg(s.commandModel));
    Invocation run;
    run.program = FindProgram(parts.takeFirst());
    if (run.program.isEmpty())
        throw ExchangeError(QStringLiteral("Программа распознавателя не найдена: %1")
                                .arg(QProcess::splitCommand(s.commandTemplate).first()));
    const QString output =
        QDir(folder).filePath(QStringLiteral("draft.") + Extension(s.commandFormat));
    for (QString part : parts) {
        if (part.contains(QStringLiteral("{output}"))) run.outputFile = output;
        part.replace(QStringLiteral("{input}"), wav)
            .replace(QStringLiteral("{output}"), output)
            .replace(QStringLiteral("{language}"), s.language)
            .replace(QStringLiteral("{model}"), s.commandModel);
        run.arguments << part;
    }
    return run;
}

QSettings Stored() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("nuvtolvek"),
                     QStringLiteral("recognize"));
}

}  // namespace

Invocation PlanInvocation(const Settings& settings, const QString& wav, const QString& folder) {
    switch (settings.engine) {
        case Engine::PocketSphinx:
            return PocketSphinx(settings, wav);
        case Engine::Whisper:
            return Whisper(settings, wav, folder);
        case Engine::Command:
            return Command(settings, wav, folder);
    }
    return PocketSphinx(settings, wav);
}

Settings LoadSettings() {
    const QSettings stored = Stored();
    Settings s;
    const QString engine = stored.value(QStringLiteral("engine")).toString();
    if (engine == QStringLiteral("whisper")) s.engine = Engine::Whisper;
    if (engine == QStringLiteral("command")) s.engine = Engine::Command;
    s.language = stored.value(QStringLiteral("language"), s.language).toString();
    s.whisperProgram = stored.value(QStringLiteral("whisper_program")).toString();
    s.whisperModel = stored.value(QStringLiteral("whisper_model")).toString();
    s.commandTemplate = stored.value(QStringLiteral("command")).toString();
    s.commandModel = stored.value(QStringLiteral("command_model")).toString();
    const QString format = stored.value(QStringLiteral("command_format")).toString();
    if (format == QStringLiteral("vtt")) s.commandFormat = exchange::DraftFormat::Vtt;
    if (format == QStringLiteral("json")) s.commandFormat = exchange::DraftFormat::Json;
    return s;
}

void SaveSettings(const Settings& s) {
    QSettings stored = Stored();
    const char* engine = s.engine == Engine::Whisper   ? "whisper"
                         : s.engine == Engine::Command ? "command"
                                                       : "pocketsphinx";
    stored.setValue(QStringLiteral("engine"), QString::fromLatin1(engine));
    stored.setValue(QStringLiteral("language"), s.language);
    stored.setValue(QStringLiteral("whisper_program"), s.whisperProgram);
    stored.setValue(QStringLiteral("whisper_model"), s.whisperModel);
    stored.setValue(QStringLiteral("command"), s.commandTemplate);
    stored.setValue(QStringLiteral("command_model"), s.commandModel);
    stored.setValue(QStringLiteral("command_format"), Extension(s.commandFormat));
}

}  // namespace recognize
