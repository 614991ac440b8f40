// One run of a recogniser on a recording: the WAV made on a worker thread in a private
// temporary folder, the recogniser started in a process group of its own, progress from its
// lines, its output read as a draft. The folder is removed and the process group killed when
// the run ends, is cancelled or is destroyed. Lives on the thread that starts it (an event
// loop is needed); the interface never waits for it.
#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "exchange/draft.h"
#include "recognize/recognizer.h"

namespace recognize {

// The progress a recogniser's output line tells: its own per cent, or the time (seconds) it
// has reached, from PocketSphinx's word lines ("word start end confidence") and from
// "… --> 00:01:02.500" of SRT, WebVTT and whisper.cpp's segment lines.
struct LineProgress {
    int percent = -1;     // -1: none
    double seconds = -1;  // -1: none
};
LineProgress ProgressOfLine(QStringView line);

// The last lines of a recogniser's standard error, for its failure message.
inline constexpr int kErrorLinesShown = 6;

class Recognition : public QObject {
    Q_OBJECT
  public:
    explicit Recognition(QObject* parent = nullptr);
    ~Recognition() override;  // kills the process group, removes the folder

    // Starts recognising; `finished` or `failed` follows, exactly once (not after cancel()).
    void Start(const QString& recording, const Settings& settings);
    // Stops the WAV or the recogniser (its whole process group); nothing is reported.
    void Cancel();
    bool Running() const { return running_; }

  signals:
    void progress(int percent);
    void finished(const std::vector<exchange::Segment>& draft);
    void failed(const QString& message);

  private:
    void WavDone(double seconds, const QString& error);
    void StartProcess();
    void ReadLines(QProcess::ProcessChannel channel);
    void ProcessEnded(int exitCode, QProcess::ExitStatus status);
    void Fail(const QString& message);
    void Stop(bool now = false);
    void ShowPercent(int percent);

    Settings settings_;
    std::unique_ptr<QTemporaryDir> folder_;
    QString wav_;
    std::thread worker_;
    std::atomic<bool> cancel_{false};
    std::unique_ptr<QProcess> process_;
    Invocation invocation_;
    QByteArray stdout_;
    QByteArray partial_[2];  // an incomplete last line of standard output / error
    std::deque<QString> errorLines_;
    double seconds_ = 0.0;  // length of the recording handed over
    int shown_ = -1;
    bool ownPercent_ = false;  // the recogniser prints its own per cent
    bool running_ = false;
    quint64 generation_ = 0;
};

}  // namespace recognize
