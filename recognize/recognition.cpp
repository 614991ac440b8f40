#include "recognize/recognition.h"

#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#include "exchange/exchange_error.h"
#include "recognize/recognizer_wav.h"

namespace recognize {
namespace {

using exchange::ExchangeError;

// Seconds of "[hh:]mm:ss.mmm" (comma or dot); -1 when it is no time.
double TimeOf(QStringView text) {
    static const QRegularExpression time(
        QStringLiteral(R"(^(?:(\d+):)?(\d{1,2}):(\d{2})[.,](\d{1,3}))"));
    const QRegularExpressionMatch m = time.match(text.toString());
    if (!m.hasMatch()) return -1;
    return m.capturedView(1).toDouble() * 3600 + m.capturedView(2).toDouble() * 60 +
           m.capturedView(3).toDouble() + m.capturedView(4).toDouble() / 1000.0;
}

}  // namespace

LineProgress ProgressOfLine(QStringView line) {
    LineProgress result;
    if (const std::optional<int> percent = exchange::ProgressPercent(line)) {
        result.percent = *percent;
        return result;
    }
    const qsizetype arrow = line.indexOf(QStringLiteral("-->"));
    if (arrow >= 0) {
        result.seconds = TimeOf(line.mid(arrow + 3).trimmed());
        return result;
    }
    // PocketSphinx: "word start end confidence".
    const QList<QStringView> fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (fields.size() == 4) {
        bool startOk = false;
        bool endOk = false;
        bool confidenceOk = false;
        const double start = fields[1].toDouble(&startOk);
        const double end = fields[2].toDouble(&endOk);
        const double confidence = fields[3].toDouble(&confidenceOk);
        if (startOk && endOk && confidenceOk && start >= 0 && end >= start && confidence >= 0)
            result.seconds = end;
    }
    return result;
}

Recognition::Recognition(QObject* parent) : QObject(parent) {}

Recognition::~Recognition() {
    Stop(true);
}

void Recognition::Start(const QString& recording, const Settings& settings) {
    Stop();
    settings_ = settings;
    running_ = true;
    shown_ = -1;
    ownPercent_ = false;
    seconds_ = 0.0;
    stdout_.clear();
    partial_[0].clear();
    partial_[1].clear();
    errorLines_.clear();
    folder_ =
        std::make_unique<QTemporaryDir>(QDir::temp().filePath(QStringLiteral("nuvtolvek-XXXXXX")));
    if (!folder_->isValid()) {
        Fail(QStringLiteral("Не удалось создать временную папку: %1").arg(folder_->errorString()));
        return;
    }
    wav_ = folder_->filePath(QStringLiteral("recording.wav"));
    // A missing recogniser or model is said before the recording is decoded.
    try {
        invocation_ = PlanInvocation(settings_, wav_, folder_->path());
    } catch (const ExchangeError& e) {
        Fail(e.message());
        return;
    }
    ShowPercent(0);
    cancel_ = false;
    const quint64 generation = ++generation_;
    // Decoding a long recording takes seconds: off the interface's thread.
    worker_ = std::thread([this, recording, generation, wav = wav_] {
        double seconds = 0.0;
        QString error;
        try {
            seconds = WriteRecognizerWav(recording, wav, &cancel_);
        } catch (const ExchangeError& e) {
            error = e.message();
        }
        QMetaObject::invokeMethod(
            this,
            [this, generation, seconds, error] {
                if (generation == generation_ && running_) WavDone(seconds, error);
            },
            Qt::QueuedConnection);
    });
}

void Recognition::WavDone(double seconds, const QString& error) {
    if (worker_.joinable()) worker_.join();
    if (!error.isEmpty()) {
        Fail(error);
        return;
    }
    seconds_ = seconds;
    StartProcess();
}

void Recognition::StartProcess() {
    process_ = std::make_unique<QProcess>();
    process_->setProgram(invocation_.program);
    process_->setArguments(invocation_.arguments);
    process_->setWorkingDirectory(folder_->path());
    process_->setStandardInputFile(QProcess::nullDevice());
    // A group of its own, so that cancelling stops whatever the recogniser starts too.
    process_->setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(process_.get(), &QProcess::readyReadStandardOutput, this,
            [this] { ReadLines(QProcess::StandardOutput); });
    connect(process_.get(), &QProcess::readyReadStandardError, this,
            [this] { ReadLines(QProcess::StandardError); });
    connect(process_.get(), &QProcess::finished, this, &Recognition::ProcessEnded);
    connect(process_.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            Fail(QStringLiteral("Не удалось запустить распознаватель %1: %2")
                     .arg(invocation_.program, process_->errorString()));
    });
    process_->start();
}

void Recognition::ReadLines(QProcess::ProcessChannel channel) {
    if (!process_) return;
    process_->setReadChannel(channel);
    const QByteArray bytes = process_->readAll();
    const bool isOut = channel == QProcess::StandardOutput;
    if (isOut) {
        stdout_ += bytes;
        if (stdout_.size() > exchange::kLargestDraftBytes) {
            Fail(QStringLiteral("Распознаватель выдал слишком много текста"));
            return;
        }
    }
    QByteArray& partial = partial_[isOut ? 0 : 1];
    partial += bytes;
    // Progress lines end in a carriage return when a recogniser redraws them.
    qsizetype from = 0;
    for (qsizetype i = 0; i < partial.size(); ++i) {
        if (partial[i] != '\n' && partial[i] != '\r') continue;
        const QString line = QString::fromUtf8(partial.sliced(from, i - from)).trimmed();
        from = i + 1;
        if (line.isEmpty()) continue;
        if (!isOut) {
            errorLines_.push_back(line);
            if (errorLines_.size() > kErrorLinesShown) errorLines_.pop_front();
        }
        const LineProgress p = ProgressOfLine(line);
        if (p.percent >= 0) {
            ownPercent_ = true;
            ShowPercent(p.percent);
        } else if (!ownPercent_ && p.seconds >= 0 && seconds_ > 0) {
            ShowPercent(int(std::min(99.0, 100.0 * p.seconds / seconds_)));
        }
    }
    partial.remove(0, from);
    // A line without an end that never ends is no progress line: keep memory bounded.
    if (partial.size() > 64 * 1024) partial.clear();
}

void Recognition::ProcessEnded(int exitCode, QProcess::ExitStatus status) {
    if (!running_) return;
    ReadLines(QProcess::StandardOutput);
    ReadLines(QProcess::StandardError);
    if (!running_) return;
    QStringList tail(errorLines_.begin(), errorLines_.end());
    if (status != QProcess::NormalExit || exitCode != 0) {
        QString message =
            status == QProcess::NormalExit
                ? QStringLiteral("Распознаватель завершился с ошибкой (код %1)").arg(exitCode)
                : QStringLiteral("Распознаватель аварийно завершился");
        if (!tail.isEmpty()) message += QStringLiteral(":\n") + tail.join(QLatin1Char('\n'));
        Fail(message);
        return;
    }
    std::vector<exchange::Segment> draft;
    try {
        if (invocation_.reader == OutputReader::PocketSphinx) {
            draft = exchange::ReadPocketSphinx(QString::fromUtf8(stdout_));
        } else if (invocation_.outputFile.isEmpty()) {
            if (stdout_.trimmed().isEmpty()) throw ExchangeError(QString());
            draft = exchange::ReadDraft(exchange::DecodeTextBytes(stdout_));
        } else {
            const QFileInfo file(invocation_.outputFile);
            if (!file.exists() || file.size() == 0) throw ExchangeError(QString());
            draft = exchange::ReadDraftFile(invocation_.outputFile);
        }
    } catch (const ExchangeError& e) {
        Fail(e.message().isEmpty()
                 ? QStringLiteral("Распознаватель ничего не выдал")
                 : QStringLiteral("Распознаватель выдал нечитаемый черновик: %1").arg(e.message()));
        return;
    }
    if (draft.empty()) {
        Fail(QStringLiteral("Распознаватель не нашёл в записи речи"));
        return;
    }
    Stop();
    ShowPercent(100);
    emit finished(draft);
}

void Recognition::Fail(const QString& message) {
    if (!running_) return;
    Stop();
    emit failed(message);
}

void Recognition::Cancel() {
    Stop();
}

void Recognition::Stop(bool now) {
    running_ = false;
    ++generation_;
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
    if (process_) {
        process_->disconnect(this);
        const qint64 pid = process_->processId();
        if (pid > 0) ::kill(-pid_t(pid), SIGKILL);
        if (process_->state() != QProcess::NotRunning) process_->waitForFinished(2000);
        // Stop may run inside one of the process's own signals: deleted once that is over.
        if (now) {
            process_.reset();
        } else {
            // Owned by this object meanwhile, so that it is freed even if no event loop runs.
            QProcess* ended = process_.release();
            ended->setParent(this);
            ended->deleteLater();
        }
    }
    folder_.reset();  // removes the WAV and whatever the recogniser wrote
}

void Recognition::ShowPercent(int percent) {
    percent = std::clamp(percent, 0, 100);
    // Standard output and standard error are read in whatever order they arrive, and a
    // recogniser's own per cent may lag the times it has printed: the bar never goes back.
    if (percent <= shown_) return;
    shown_ = percent;
    emit progress(percent);
}

}  // namespace recognize
