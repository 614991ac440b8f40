// The player's playlist commands and the project commands of its "Файл" menu.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

#include "app/shell_commands.h"
#include "app/window_set.h"
#include "editor/editor_window.h"
#include "participants/participants_window.h"
#include "player/equalizer_command.h"
#include "player/player_controls.h"
#include "player/player_window.h"
#include "player/playlist_drop.h"
#include "player/playlist_files.h"
#include "player/playlist_paths.h"
#include "player/sound_notice.h"
#include "player/transport_rules.h"
#include "player/waveform_view.h"
#include "project/project_commands.h"

// ---------------------------------------------------------------- playlist and opening

void TForm1::ListBox1Click() {
    const int index = ListBox1->currentRow();
    if (index < 0) return;
    const QString path = ListBox1->item(index)->text();
    if (!QFileInfo(path).isFile()) {
        ShowMessage(QStringLiteral("Файл не найден!"));
        Stopped = true;
        return;
    }
    audio::StopStream(Stream);
    audio::FreeStream(Stream);
    Stream = 0;
    RequestEnvelope(path);
    Stream = audio::OpenFileStream(false, QFile::encodeName(path).toStdString(), 0, 0,
                                   audio::STREAM_PRESCAN);
    if (Stream == 0) {
        // Nothing plays: the panels of the previous recording must not stay on screen.
        Stopped = true;
        N12Click();
        for (int panel = 1; panel <= 4; ++panel) StatusBar1->SetPanelText(panel, QString());
        ShowMessage(QStringLiteral("Файл не удаётся воспроизвести: %1")
                        .arg(QDir::toNativeSeparators(path)));
        return;
    }
    Notices->Clear();
    audio::SetStreamTempo(Stream, Speed);
    audio::SetStreamVoice(Stream, Voice);
    N21Click();
    N20Click();
    audio::PlayStream(Stream, false);
    Stopped = false;
}

void TForm1::N7Click() {
    QStringList paths;
    if (OpenFilesHook) {
        paths = OpenFilesHook();
    } else if (OpenDialog1->exec() == QDialog::Accepted) {
        paths = OpenDialog1->selectedFiles();
    }
    AddRecordings(paths);
}

void TForm1::AddRecordings(const QStringList& chosen) {
    QStringList refused;
    const QStringList paths = StorablePlaylistPaths(chosen, &refused);
    if (!refused.isEmpty()) ShowMessage(RefusedPathsMessage(refused));
    if (paths.isEmpty()) return;
    ListBox1->addItems(paths);
    N12Click();
    N14Click();
}

void TForm1::N11Click() {
    // Backwards, so that the indexes still to visit stay valid.
    for (int i = ListBox1->count() - 1; i >= 0; --i) {
        if (ListBox1->item(i)->isSelected()) delete ListBox1->takeItem(i);
    }
    N14Click();
    N12Click();
}

void TForm1::N9Click() {
    ListBox1->clear();
    N14Click();
    N12Click();
}

void TForm1::N14Click() {
    Stopped = true;
    audio::StopStream(Stream);
    audio::FreeStream(Stream);
    Stream = 0;
}

// ---------------------------------------------------------------- project

void TForm1::N4Click() {
    project::OpenProject(*this, *Form2, *Form5);
}
void TForm1::N6Click() {
    project::SaveProject(*this, *Form2, *Form5);
}
void TForm1::N15Click() {
    project::SaveProjectAs(*this, *Form2, *Form5);
}
void TForm1::N2Click() {
    project::ExitApplication();
}
