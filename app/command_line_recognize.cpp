#include "app/command_line_recognize.h"

#include <QCoreApplication>
#include <cstdio>

#include "recognize/recognize_file.h"
#include "recognize/recognizer.h"

int RunRecognizeCommand(int& argc, char** argv, const CommandLine& line) {
    if (!line.recognizeRequest) {
        std::fprintf(stderr, "%s\n", line.recognizeError.toUtf8().constData());
        return 2;
    }
    const RecognizeRequest& request = *line.recognizeRequest;
    QCoreApplication app(argc, argv);
    recognize::Settings settings = recognize::LoadSettings();
    if (request.engine == QStringLiteral("pocketsphinx"))
        settings.engine = recognize::Engine::PocketSphinx;
    if (request.engine == QStringLiteral("whisper")) settings.engine = recognize::Engine::Whisper;
    const QString error = recognize::RecognizeToFile(
        request.in, request.out, settings,
        [](int percent) { std::fprintf(stderr, "Распознано %d%%\n", percent); });
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", error.toUtf8().constData());
        return 1;
    }
    return 0;
}
