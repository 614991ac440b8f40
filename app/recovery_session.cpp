#include "app/recovery_session.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextDocument>
#include <QTimer>

#include "app/project_commands.h"
#include "app/restore_window.h"
#include "editor/editor_commands.h"
#include "editor/editor_window.h"
#include "participants/participants_window.h"
#include "player/player_window.h"
#include "project/project_file.h"

namespace {

qint64 Now() {
    return QDateTime::currentMSecsSinceEpoch();
}

// Everything but the text, which is compared by the count of its changes instead.
bool SameExceptText(recovery::RecoveryState a, recovery::RecoveryState b) {
    a.text.clear();
    b.text.clear();
    return recovery::SameWork(a, b);
}

}  // namespace

RecoverySession::RecoverySession(TForm1& player, TForm2& editor, TForm5& participants,
                                 QString folder)
    : player_(player), editor_(editor), participants_(participants), folder_(std::move(folder)) {
    auto run =
        std::make_unique<recovery::RunFolder>(folder_, Now(), QCoreApplication::applicationPid());
    writer_ = std::make_unique<recovery::CopyWriter>(
        std::move(run), [this](const recovery::WriteReport& report) {
            // From the writer thread: the report waits in the mailbox, and a call by name
            // (made inside Qt, carrying no data) wakes this thread to read it.
            {
                std::lock_guard lock(reportsMutex_);
                reports_.push_back(report);
            }
            QMetaObject::invokeMethod(this, "TakeReports", Qt::QueuedConnection);
        });

    connect(editor_.Memo1->document(), &QTextDocument::contentsChange, this,
            [this](int, int, int) { ++textChanges_; });
    project::ProjectStored = [this] { ProjectStored(); };
    editor_.TextStored = [this] { TextStored(); };
    ConfirmReplace = [this] {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Внимание"),
                        QStringLiteral("Несохранённые данные будут потеряны!"),
                        QMessageBox::Ok | QMessageBox::Cancel, window_);
        return box.exec() == QMessageBox::Ok;
    };

    note_ = new QLabel(editor_.StatusBar1);
    note_->setObjectName(QStringLiteral("RecoveryNote"));
    note_->hide();
    editor_.StatusBar1->addPermanentWidget(note_);

    // What the program starts with counts as saved: an untouched run leaves nothing behind.
    saved_ = Capture();
    submitted_ = saved_;
    writer_->SetSaved(saved_);

    timer_ = new QTimer(this);
    timer_->setTimerType(Qt::PreciseTimer);  // a coarse timer may fire late by 5 %
    timer_->setInterval(kCopyIntervalMs);
    connect(timer_, &QTimer::timeout, this, &RecoverySession::CheckForChanges);
    timer_->start();
}

RecoverySession::~RecoverySession() {
    Finish();
}

recovery::RecoveryState RecoverySession::Capture() const {
    recovery::RecoveryState s = CaptureAllButText();
    s.text = editor_.Memo1->document()->toRawText();
    return s;
}

recovery::RecoveryState RecoverySession::CaptureAllButText() const {
    recovery::RecoveryState s;
    s.textEncoding = editor_.TextEncoding;
    for (int k = 0; k < project::kParticipantCount; ++k) {
        s.participants[k].picture = participants_.Cells(k + 1, 1);
        s.participants[k].name = participants_.Cells(k + 1, 2);
        s.participants[k].color = participants_.Cells(k + 1, 3);
    }
    s.projectLines = project::ProjectFileLines(project::CurrentProjectFile(player_));
    s.projectName = project::ProjectName;
    s.projectEncoding = project::ProjectEncoding;
    return s;
}

void RecoverySession::CheckForChanges() {
    if (finished_) return;
    recovery::RecoveryState now = CaptureAllButText();
    const bool textChanged = textChanges_ != submittedTextChanges_;
    now.text = textChanged ? editor_.Memo1->document()->toRawText() : submitted_.text;
    // A failed write is tried again at every check until one works.
    if (!textChanged && SameExceptText(now, submitted_) && !failing_) return;
    submittedTextChanges_ = textChanges_;
    submitted_ = now;
    writer_->Submit(std::move(now), Now());
}

void RecoverySession::ProjectStored() {
    saved_ = Capture();
    writer_->SetSaved(saved_);
}

void RecoverySession::TextStored() {
    saved_.text = editor_.Memo1->document()->toRawText();
    saved_.textEncoding = editor_.TextEncoding;
    writer_->SetSaved(saved_);
}

void RecoverySession::TakeReports() {
    std::vector<recovery::WriteReport> reports;
    {
        std::lock_guard lock(reportsMutex_);
        reports.swap(reports_);
    }
    for (const recovery::WriteReport& report : reports) OnReport(report);
}

void RecoverySession::OnReport(const recovery::WriteReport& report) {
    if (note_ == nullptr) return;
    if (report.ok) {
        failing_ = false;
        note_->hide();
        return;
    }
    if (failing_) return;  // said once; said again only after a write has worked
    failing_ = true;
    ++notesShown_;
    note_->setText(QStringLiteral("Копия для восстановления не записана"));
    note_->setToolTip(report.error);
    note_->show();
}

RestoreWindow* RecoverySession::OfferEarlierCopies() {
    recovery::ScanResult scan = recovery::ScanRecoveryFolder(folder_, Now());
    if (scan.offered.isEmpty()) return nullptr;
    window_ = new RestoreWindow(
        &player_, std::move(scan),
        [this](const recovery::CopyInfo& copy, const QString& runPath) {
            return Restore(copy, runPath);
        },
        [](const QStringList& runs) {
            for (const QString& run : runs) {
                try {
                    recovery::DeleteRun(run);
                } catch (const textfiles::FileError&) {
                    // Its program runs again or the folder is gone: nothing to do.
                }
            }
        });
    window_->show();
    return window_;
}

bool RecoverySession::Restore(const recovery::CopyInfo& copy, const QString& runPath) {
    const recovery::RecoveryState state = recovery::ReadCopy(copy.path);
    if (!editor_.Text().isEmpty() && ConfirmReplace && !ConfirmReplace()) return false;

    player_.N14Click();  // stops and frees the stream, as an open does
    RecordSnapshot(editor_.MemoText(), editor_.History);
    editor_.ReplaceText(state.text);
    editor_.TextEncoding = state.textEncoding;
    RecordSnapshot(editor_.MemoText(), editor_.History);
    for (int k = 0; k < project::kParticipantCount; ++k) {
        participants_.SetCells(k + 1, 1, state.participants[k].picture);
        participants_.SetCells(k + 1, 2, state.participants[k].name);
        participants_.SetCells(k + 1, 3, state.participants[k].color);
    }
    project::ProjectName = state.projectName;
    project::ProjectEncoding = state.projectEncoding;
    project::ApplyProjectFile(player_, project::ParseProjectFile(state.projectLines));

    try {
        recovery::MarkRunRestored(runPath, Now());
    } catch (const textfiles::FileError&) {
        // Offered once more at the next start; nothing is lost by that.
    }
    // The restored work is unsaved: this run keeps its own copies of it from now on.
    CheckForChanges();
    editor_.show();
    return true;
}

void RecoverySession::Finish() {
    if (finished_) return;
    CheckForChanges();
    finished_ = true;
    timer_->stop();
    if (project::ProjectStored) project::ProjectStored = nullptr;
    editor_.TextStored = nullptr;
    writer_->Finish(Now());
}
