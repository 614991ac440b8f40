#include "app/window_set.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMenu>
#include <QStatusBar>
#include <QWidget>
#include <initializer_list>
#include <memory>

#include "app/about_box.h"
#include "app/app_shortcuts.h"
#include "app/application.h"
#include "app/command_wiring.h"
#include "app/html_export_command.h"
#include "app/keys_dialog.h"
#include "app/media_interface.h"
#include "app/player_media_controls.h"
#include "app/project_commands.h"
#include "app/shell_commands.h"
#include "app/strip_wiring.h"
#include "app/voice_commands.h"
#include "audio/audio.h"
#include "commands/default_commands.h"
#include "commands/key_file.h"
#include "commands/registry.h"
#include "dictionary/dictionary_location.h"
#include "dictionary/dictionary_model.h"
#include "dictionary/dictionary_window.h"
#include "dictionary/expansion.h"
#include "dictionary/variant_chooser.h"
#include "editor/editor_window.h"
#include "editor/exchange_menu.h"
#include "editor/recognize_menu.h"
#include "editor/spell_marks.h"
#include "input/input_setup.h"
#include "participants/participants_window.h"
#include "player/player_controls.h"
#include "player/player_window.h"
#include "player/sound_notice.h"

TForm1* Form1 = nullptr;
TForm2* Form2 = nullptr;
TForm3* Form3 = nullptr;
TAboutBox* AboutBox = nullptr;
TForm5* Form5 = nullptr;
TForm6* Form6 = nullptr;

namespace {
std::unique_ptr<commands::Registry> Commands;
ApplicationShortcuts* PlayerKeys = nullptr;
// Media keys and the desktop's media widgets; absent without a session bus.
std::unique_ptr<MediaInterface> DesktopMedia;
// Foot pedals and keys that work while another program has the focus.
std::unique_ptr<input::InputSetup> Devices;

// What the editor's additions need of the other windows, passed in rather than reached.
void ConnectEditor() {
    project::Program = {[](const QString& message) { ShowErrorDialog(message); },
                        [](const QString& path) { OpenSavedPageOrSay(path); }};
    Form1->Project = {[] { project::OpenProject(*Form1, *Form2, *Form5); },
                      [] { project::SaveProject(*Form1, *Form2, *Form5); },
                      [] { project::SaveProjectAs(*Form1, *Form2, *Form5); },
                      [] { project::ExitApplication(); }};
    Form1->ShowEditor = [] {
        Form2->show();
        Form2->raise();
        Form2->activateWindow();
    };
    Form2->resize(Form1->size());
    Form2->ShowError = [](const QString& text) { ShowErrorDialog(text); };
    Form2->ShowDictionary = [] {
        Form3->show();
        Form3->raise();
        Form3->activateWindow();
    };
    Form2->ShowParticipants = [] {
        Form5->show();
        Form5->raise();
        Form5->activateWindow();
    };
    Form2->ParticipantName = [](int participant) { return Form5->Cells(participant, 2); };
    Form2->OfferToDictionary = [] { OfferSelectionToDictionary(*Form2, Form3); };
    Form2->ExpandAbbreviation = [](bool firstCapital) {
        ExpandBeforeCaret(*Form2, Form3, Form6, firstCapital);
    };
    Form2->ExportHtmlPage = [] { project::ExportHtmlCommand(*Form2, *Form5); };
    Form2->Exchange->Participants = [] {
        project::ParticipantTable table;
        if (Form5 == nullptr) return table;
        for (int k = 0; k < project::kParticipantCount; ++k) {
            table[k] = {Form5->Cells(k + 1, 1), Form5->Cells(k + 1, 2), Form5->Cells(k + 1, 3)};
        }
        return table;
    };
    Form2->SetPlayerLink(
        {[]() -> std::optional<double> {
             return Form1 != nullptr ? Form1->RecordingPosition() : std::nullopt;
         },
         [](double seconds) { return Form1 != nullptr && Form1->PlayFrom(seconds); },
         []() -> std::optional<double> {
             if (Form1 == nullptr || Form1->Stream == 0) return std::nullopt;
             const double length = audio::BytesToSeconds(
                 Form1->Stream, audio::StreamLength(Form1->Stream, audio::POS_BYTE));
             return length > 0.0 ? std::optional<double>(length) : std::nullopt;
         }});
    // What the player's tick ran into reaches the typist in the editor, without a box.
    Form1->Notices->Elsewhere = [](const QString& text) {
        if (Form2 != nullptr) Form2->StatusBar1->showMessage(text, 15000);
    };
    Form2->Spelling->AbbreviationTexts = [] {
        QStringList texts;
        if (Form3 == nullptr) return texts;
        for (const DictionaryRow& row : Form3->Table->Rows()) {
            texts << row.abbreviation << row.text;
        }
        return texts;
    };
    auto changed = [] {
        if (Form2 != nullptr && Form2->Spelling != nullptr) Form2->Spelling->AbbreviationsChanged();
    };
    QAbstractItemModel* table = Form3->Table;
    QObject::connect(table, &QAbstractItemModel::modelReset, Form2, changed);
    QObject::connect(table, &QAbstractItemModel::dataChanged, Form2, changed);
    QObject::connect(table, &QAbstractItemModel::rowsInserted, Form2, changed);
    QObject::connect(table, &QAbstractItemModel::rowsRemoved, Form2, changed);
}

// The typist's keys; what is wrong in the file keeps its defaults and is told once. The file
// is left as it is until the keys are saved from the dialog.
void ReadUserKeys() {
    commands::KeyFileContents keys = commands::ReadKeyFile(commands::KeyFilePath());
    commands::ApplyKeyFile(*Commands, keys);
    const QString note = commands::KeyFileNote(keys.problems);
    if (!note.isEmpty()) Form1->StatusBar1->ShowNote(note, 20000);
}

}  // namespace

commands::Registry& CommandSet() {
    return *Commands;
}

void CreateWindowSet() {
    Commands = std::make_unique<commands::Registry>();
    commands::AddDefaultCommands(*Commands);
    Form1 = new TForm1();
    Form2 = new TForm2();
    Form3 = new TForm3(PrepareDictionaryFile(
        UserDictionaryPath(), QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                                  QLatin1String(kDictionaryFileName)));
    AboutBox = new TAboutBox(Form1);
    // The same outer size as the player window.
    Form3->resize(Form1->size());
    Form3->FormResize();
    Form3->ShowError = [](const QString& text) { ShowErrorDialog(text); };
    Form5 = new TForm5();
    Form5->CentreOver = Form1;
    Form6 = new TForm6();
    ConnectEditor();
    WireCommands(*Commands, *Form1, *Form2);
    WireVoiceCommands(*Commands, *Form1);
    WireExchangeCommands(*Commands, *Form2->Exchange);
    // "Распознать черновик…" right after "Открыть черновик…"; the recording is the player's.
    QAction* openDraft = Form2->Exchange->OpenDraftItem;
    auto* recognizer = new RecognizeMenu(*Form2, qobject_cast<QMenu*>(openDraft->parent()),
                                         openDraft, Form2->SettingsMenu);
    recognizer->Recording = [] {
        return Form1 != nullptr && Form1->Stream != 0 ? Form1->EnvelopeFile : QString();
    };
    WireRecognizeCommands(*Commands, *recognizer);
    WireStrip(*Commands, *Form1, *Form2, *Form5);
    ReadUserKeys();
    PlayerKeys = new ApplicationShortcuts(*Commands);
    qApp->installEventFilter(PlayerKeys);
    DesktopMedia = StartMediaInterface(PlayerMediaControls(*Form1, *Commands));
    Devices = std::make_unique<input::InputSetup>(*Commands, input::InputSetup::Options{});
    Devices->AddMenuItems(Form2->SettingsMenu, Form2);
    input::InputSetup* devices = Devices.get();
    SetGlobalKeyLink({
        .set =
            [devices](const QString& command, const QKeySequence& key) {
                const input::BindResult result =
                    devices->SetGlobalKey(command, key.isEmpty() ? QKeyCombination() : key[0]);
                return result.ok ? QString() : result.message;
            },
        .get = [devices](const QString& command) { return devices->GlobalKey(command); },
        .way = [devices] { return devices->GlobalWay(); },
    });
    Devices->OnLateRefusal([](const QString& message) {
        if (KeysDialog* open = OpenKeysDialog()) open->ShowRefusal(message);
    });
}

void DestroyWindowSet() {
    DesktopMedia.reset();
    SetGlobalKeyLink({});
    Devices.reset();
    if (PlayerKeys != nullptr) qApp->removeEventFilter(PlayerKeys);
    // Let the focus leave every window while all of them still exist: a window that
    // watches focus changes must not hear of one in the middle of its own destruction.
    for (QWidget* window :
         std::initializer_list<QWidget*>{Form6, Form5, AboutBox, Form3, Form2, Form1})
        if (window != nullptr) window->hide();
    if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
    delete PlayerKeys;
    PlayerKeys = nullptr;
    // Before the windows whose code its commands run.
    Commands.reset();
    delete Form6;
    Form6 = nullptr;
    delete Form5;
    Form5 = nullptr;
    delete AboutBox;
    AboutBox = nullptr;
    delete Form3;
    Form3 = nullptr;
    delete Form2;
    Form2 = nullptr;
    delete Form1;
    Form1 = nullptr;
}
