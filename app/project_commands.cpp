#include "app/project_commands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <algorithm>
#include <cmath>

#include "app/file_filters.h"
#include "editor/editor_window.h"
#include "participants/participants_window.h"
#include "player/player_controls.h"
#include "player/player_window.h"
#include "player/selection_loop.h"
#include "player/sound_notice.h"
#include "player/speed.h"
#include "player/strip_workbench.h"
#include "player/transport_rules.h"
#include "player/voice_settings.h"
#include "project/project_file.h"
#include "project/project_files.h"

namespace project {

ProgramLink Program;
QString ProjectName;
textfiles::Encoding ProjectEncoding = textfiles::Encoding::Ansi;
std::function<void()> ProjectStored;

namespace {

// The open dialog keeps its own last name; the save dialog starts from the project name.
QString lastOpenName;

ProjectDialogs dialogs;

bool RunFileDialog(QWidget* parent, QFileDialog::AcceptMode mode, QString& path) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    SetDialogNameFilters(dialog, ProjectDialogFilter());
    if (!path.isEmpty()) dialog.selectFile(path);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    path = dialog.selectedFiles().constFirst();
    return true;
}

bool AskSaveName(QWidget* parent, QString& path) {
    return dialogs.RunSaveDialog ? dialogs.RunSaveDialog(path)
                                 : RunFileDialog(parent, QFileDialog::AcceptSave, path);
}

bool AskOpenName(QWidget* parent, QString& path) {
    return dialogs.RunOpenDialog ? dialogs.RunOpenDialog(path)
                                 : RunFileDialog(parent, QFileDialog::AcceptOpen, path);
}

bool ConfirmDataLoss() {
    if (dialogs.ConfirmDataLoss) return dialogs.ConfirmDataLoss();
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Внимание"),
                    QStringLiteral("Несохранённые данные будут потеряны!"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

ProjectSnapshot TakeSnapshot(TForm1& player, TForm2& editor, TForm5& participants) {
    ProjectSnapshot s;
    s.file = CurrentProjectFile(player);
    s.transcript = editor.Text();
    s.transcriptEncoding = editor.TextEncoding;
    for (int k = 0; k < kParticipantCount; ++k) {
        s.participants[k].picture = participants.Cells(k + 1, 1);
        s.participants[k].name = participants.Cells(k + 1, 2);
        s.participants[k].color = participants.Cells(k + 1, 3);
    }
    return s;
}

void SaveUnderProjectName(TForm1& player, TForm2& editor, TForm5& participants) {
    try {
        WriteProject(ProjectName, TakeSnapshot(player, editor, participants), ProjectEncoding);
    } catch (const textfiles::FileError& e) {
        Program.showError(e.message());
        return;
    }
    if (ProjectStored) ProjectStored();
}

// Steps 9 to 12 of the open: the current entry's recording, stopped at `pos` seconds.
void OpenCurrentRecording(TForm1& player, const QString& path, int pos) {
    if (!QFileInfo(path).isFile()) return;
    player.Stream = audio::OpenFileStream(false, QFile::encodeName(path).toStdString(), 0, 0,
                                          audio::STREAM_PRESCAN);
    if (player.Stream == 0) {
        // Said where the typist looks, without a box: a restore or a start-up opens projects
        // too, and the typist may be typing.
        player.Notices->Show(QStringLiteral("Файл не удаётся воспроизвести: %1")
                                 .arg(QDir::toNativeSeparators(path)));
    }
    audio::SetStreamTempo(player.Stream, player.Speed);
    audio::SetStreamVoice(player.Stream, player.Voice);
    player.N21Click();

    const std::uint64_t lengthBytes = audio::StreamLength(player.Stream, audio::POS_BYTE);
    const double lengthSeconds = audio::BytesToSeconds(player.Stream, lengthBytes);
    double seconds = pos < 0 ? 0.0 : static_cast<double>(pos);
    if (seconds > lengthSeconds) seconds = std::trunc(std::max(lengthSeconds, 0.0));
    if (player.Stream != 0 && lengthBytes != audio::BAD_POSITION)
        audio::SeekStream(player.Stream, SecondsToBytes(lengthBytes, seconds, lengthSeconds),
                          audio::POS_BYTE);

    player.RequestEnvelope(path);
}

}  // namespace

ProjectDialogs& Dialogs() {
    return dialogs;
}

QString ProjectDialogFilter() {
    return QStringLiteral("Проектный файл NUV Tolvek (*.prj);;Все файлы (*.*)");
}

void ResetProjectState() {
    ProjectName.clear();
    ProjectEncoding = textfiles::Encoding::Ansi;
    lastOpenName.clear();
}

void SaveProject(TForm1& player, TForm2& editor, TForm5& participants) {
    if (ProjectName.isEmpty()) {
        QString path;
        if (!AskSaveName(&player, path)) return;
        ProjectName = path;
    }
    SaveUnderProjectName(player, editor, participants);
}

void SaveProjectAs(TForm1& player, TForm2& editor, TForm5& participants) {
    QString path = ProjectName;
    if (!AskSaveName(&player, path)) return;
    ProjectName = path;
    SaveUnderProjectName(player, editor, participants);
}

void OpenProject(TForm1& player, TForm2& editor, TForm5& participants) {
    if (!editor.Text().isEmpty() && !ConfirmDataLoss()) return;
    QString path = lastOpenName;
    if (!AskOpenName(&player, path)) return;
    OpenProjectFile(player, editor, participants, path);
}

void OpenProjectFile(TForm1& player, TForm2& editor, TForm5& participants, const QString& path) {
    lastOpenName = path;
    ProjectName = path;

    player.N14Click();  // stops and frees the stream; Stopped becomes true

    try {
        // The project file itself first: a name that leads nowhere is reported as the
        // project's, not as its companion's, and changes nothing.
        const textfiles::DetectedLines lines = textfiles::ReadLinesDetect(path);
        editor.ReadFileDetect(TranscriptCompanionPath(path));

        const ParticipantTable table = ParseParticipantsLines(
            textfiles::ReadLinesDetect(ParticipantsCompanionPath(path)).lines);
        for (int k = 0; k < kParticipantCount; ++k) {
            participants.SetCells(k + 1, 1, table[k].picture);
            participants.SetCells(k + 1, 2, table[k].name);
            participants.SetCells(k + 1, 3, table[k].color);
        }

        ProjectEncoding = lines.encoding;
        ApplyProjectFile(player, ParseProjectFile(lines.lines));
        if (ProjectStored) ProjectStored();
    } catch (const textfiles::FileError& e) {
        Program.showError(e.message());
    }
}

ProjectFileData CurrentProjectFile(TForm1& player) {
    ProjectFileData file;
    file.playing = player.Edit1->text();
    file.circles = player.Edit2->text();
    file.pause = player.Edit3->text();
    file.shiftBack = player.Edit4->text();
    file.current = player.ListBox1->currentRow();
    // With no stream the library answers with a negative failure value; it is saved as it
    // is and reads back as the start.
    file.pos = SecondsToPosValue(audio::BytesToSeconds(
        player.Stream, audio::StreamPosition(player.Stream, audio::POS_BYTE)));
    // Normal speed writes no line, so such a project is the file it always was.
    if (SpeedHundredths(player.Speed) != 100) file.speed = SpeedValueText(player.Speed);
    // Only while a selection loop is set, so other projects stay as they were.
    if (player.Strip->Selection()) file.selection = SelectionValueText(*player.Strip->Selection());
    // Likewise the voice stages: a line only for a stage that is on.
    file.voiceChannel = VoiceChannelValue(player.Voice.channel);
    file.voiceNoise = VoiceNoiseValue(player.Voice.noise);
    file.voiceLevelling = VoiceLevellingValue(player.Voice.levelling);
    file.files.reserve(player.ListBox1->count());
    for (int i = 0; i < player.ListBox1->count(); ++i)
        file.files << player.ListBox1->item(i)->text();
    return file;
}

void ApplyProjectFile(TForm1& player, const ProjectFileRead& read) {
    if (read.playing) player.Edit1->setText(*read.playing);
    if (read.circles) player.Edit2->setText(*read.circles);
    if (read.pause) player.Edit3->setText(*read.pause);
    if (read.shiftBack) player.Edit4->setText(*read.shiftBack);
    // A project without a speed plays at normal speed.
    player.SetSpeed(read.speed ? ParseSpeedValue(*read.speed) : kSpeedNormal);
    // And without voice lines, with the voice stages off.
    player.SetVoice({ParseVoiceChannel(read.voiceChannel), ParseVoiceNoise(read.voiceNoise),
                     ParseVoiceLevelling(read.voiceLevelling)});
    player.ListBox1->clear();
    player.ListBox1->addItems(read.files);
    player.N12Click();

    // An empty playlist has no current entry to restore; a negative index with entries
    // makes none current.
    if (read.files.isEmpty() || read.current < 0) return;
    if (read.current >= read.files.size()) {
        Program.showError(
            QStringLiteral("Индекс списка вне допустимого диапазона (%1)").arg(read.current));
        return;
    }
    player.ListBox1->setCurrentRow(read.current, QItemSelectionModel::ClearAndSelect);
    player.N12Click();
    OpenCurrentRecording(player, read.files.at(read.current), read.pos);
    // A selection beyond the recording, negative or reversed is held inside it or dropped.
    if (read.selection && player.Stream != 0)
        player.Strip->SetSelection(
            ParseSelectionValue(
                *read.selection,
                audio::BytesToSeconds(player.Stream,
                                      audio::StreamLength(player.Stream, audio::POS_BYTE))),
            false);
}

void ExitApplication() {
    QCoreApplication::exit(0);
}

}  // namespace project
