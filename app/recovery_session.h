// Recovery copies while the program runs: every kCopyIntervalMs the session looks whether the
// editor's text, the participants table or the project state changed; when they did, it
// hands the state to the copy writer (recovery/copy_writer.h), which writes a copy on its own
// thread when the work differs from what was last saved or opened. At start-up it offers the
// copies of earlier runs that ended without saving (restore_window.h). A failed write is noted
// once in the editor's status bar, never in a message box, and tried again at every check
// (every kCopyIntervalMs) until one works.
//
// User-interface thread only.
#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "recovery/copy_writer.h"
#include "recovery/recovery_store.h"

class QTimer;
class TForm1;
class TForm2;
class TForm5;
class RestoreWindow;

class RecoverySession : public QObject {
    Q_OBJECT
  public:
    static constexpr int kCopyIntervalMs = 2000;

    // `folder` is the recovery folder (recovery::DefaultRecoveryFolder() in the program).
    RecoverySession(TForm1& player, TForm2& editor, TForm5& participants, QString folder);
    ~RecoverySession() override;

    // At start-up: scans the folder and, when earlier runs left copies, shows the restore
    // window over the player (not modal: the program can be used meanwhile). Returns the
    // window, or nullptr when there is nothing to offer.
    RestoreWindow* OfferEarlierCopies();

    // Puts a copy back: the text with its encoding, the participants, the project state and
    // name. No file is written. The copy's run is not offered again. False when the editor
    // held text and ConfirmReplace said no. Throws textfiles::FileError when the copy cannot
    // be read or is damaged.
    bool Restore(const recovery::CopyInfo& copy, const QString& runPath);
    // Asked before a restore replaces text that is already in the editor; true to go on.
    std::function<bool()> ConfirmReplace;

    // The working state as it is now. The text is the text control's own (U+2029 between
    // paragraphs); the writer makes it CR LF.
    recovery::RecoveryState Capture() const;
    // The timer's work: hands the state to the writer when something changed.
    void CheckForChanges();
    // At exit: writes what is not written yet and marks the run. Called before the windows
    // go; later calls do nothing.
    void Finish();

    // Takes the writer's reports (queued here from the writer thread).
    Q_INVOKABLE void TakeReports();

    QLabel* Note() const { return note_; }
    int NotesShown() const { return notesShown_; }
    recovery::CopyWriter& Writer() { return *writer_; }

  private:
    recovery::RecoveryState CaptureAllButText() const;
    void ProjectStored();
    void TextStored();
    void OnReport(const recovery::WriteReport& report);

    TForm1& player_;
    TForm2& editor_;
    TForm5& participants_;
    QString folder_;
    std::unique_ptr<recovery::CopyWriter> writer_;
    QTimer* timer_ = nullptr;
    QPointer<QLabel> note_;
    QPointer<RestoreWindow> window_;

    recovery::RecoveryState saved_;      // what was last saved or opened
    recovery::RecoveryState submitted_;  // what was last handed to the writer
    quint64 textChanges_ = 0;            // counts changes of the text control
    quint64 submittedTextChanges_ = 0;
    std::mutex reportsMutex_;
    std::vector<recovery::WriteReport> reports_;  // from the writer thread
    bool failing_ = false;
    int notesShown_ = 0;
    bool finished_ = false;
};
