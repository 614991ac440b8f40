#include "recognize/recognize_file.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "exchange/exchange_error.h"
#include "exchange/export.h"
#include "recognize/recognition.h"

namespace recognize {

QString RecognizeToFile(const QString& recording, const QString& out, const Settings& settings,
                        const std::function<void(int)>& progress) {
    // A wrong file name is said before minutes of recognising, not after.
    if (!exchange::ExportFormatFor(out))
        return QStringLiteral("Неизвестный формат файла %1: нужен .srt, .vtt, .txt, .odt или .docx")
            .arg(out);
    Recognition recognition;
    QEventLoop loop;
    QString error;
    std::vector<exchange::Segment> draft;
    QObject::connect(&recognition, &Recognition::progress, &loop, [&](int p) {
        if (progress) progress(p);
    });
    QObject::connect(&recognition, &Recognition::finished, &loop, [&](const auto& d) {
        draft = d;
        loop.quit();
    });
    QObject::connect(&recognition, &Recognition::failed, &loop, [&](const QString& m) {
        error = m;
        loop.quit();
    });
    recognition.Start(recording, settings);
    if (recognition.Running()) loop.exec();
    if (!error.isEmpty()) return error;

    // Through a draft file, so that every format comes out as the command line's conversion
    // makes it.
    QJsonArray segments;
    for (const exchange::Segment& s : draft) {
        QJsonObject segment{{QStringLiteral("start"), s.start},
                            {QStringLiteral("end"), s.end},
                            {QStringLiteral("text"), s.text}};
        if (!s.speaker.isEmpty()) segment.insert(QStringLiteral("speaker"), s.speaker);
        segments.append(segment);
    }
    QTemporaryDir folder;
    const QString json = folder.filePath(QStringLiteral("draft.json"));
    QFile file(json);
    if (!folder.isValid() || !file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(segments).toJson()) < 0 || !file.flush())
        return QStringLiteral("Не удалось записать временный файл %1").arg(json);
    file.close();
    try {
        exchange::ConvertFile(json, out, QString(), exchange::ExportOptions{});
    } catch (const exchange::ExchangeError& e) {
        return e.message();
    }
    return {};
}

}  // namespace recognize
