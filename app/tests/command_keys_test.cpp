// Every default key, pressed in each window where it is promised, runs its command through the
// command layer; the desktop's media calls reach the same commands; a moved key works from
// every window and the old one does nothing.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/keys_dialog.h"
#include "app/media_interface.h"
#include "app/player_media_controls.h"
#include "app/shell_commands.h"
#include "app/window_set.h"
#include "audio/audio.h"
#include "commands/key_file.h"
#include "commands/registry.h"
#include "dictionary/dictionary_window.h"
#include "editor/editor_window.h"
#include "participants/participants_window.h"
#include "player/player_controls.h"
#include "player/player_window.h"

namespace {

struct KeyCase {
    QKeyCombination key;
    const char* id;
};

class CommandKeys : public ::testing::Test {
  protected:
    void SetUp() override {
        audio::CloseDevice();
        ASSERT_TRUE(audio::OpenManualOutput(44100));
        savedOpener = OpenInShell;
        OpenInShell = [](const QUrl&) { return true; };
        CreateWindowSet();
        Form1->Timer1->stop();
        Form1->MessageHook = [](const QString&) {};
        Form2->ShowMessage = [](const QString&) {};
        Form1->show();
        QObject::connect(&CommandSet(), &commands::Registry::Triggered,
                         [this](const QString& id) { ran << id; });
    }
    void TearDown() override {
        DestroyWindowSet();
        audio::CloseDevice();
        OpenInShell = savedOpener;
    }
    struct Place {
        const char* name;
        QWidget* window;
        QWidget* focus;
    };
    QList<Place> Places() const {
        return {{"player", Form1, Form1->ListBox1},
                {"editor", Form2, Form2->Memo1},
                {"dictionary", Form3, nullptr},
                {"participants", Form5, nullptr}};
    }
    // Makes `place` the active window and presses `key` where its focus is.
    QStringList Press(const Place& place, QKeyCombination key) {
        place.window->show();
        place.window->raise();
        place.window->activateWindow();
        QApplication::setActiveWindow(place.window);
        QWidget* target = place.focus != nullptr ? place.focus : place.window;
        target->setFocus();
        ran.clear();
        QTest::keyClick(target, key.key(), key.keyboardModifiers());
        return ran;
    }

    QStringList ran;
    std::function<bool(const QUrl&)> savedOpener;
};

// The player's keys, honoured in every window.
const KeyCase kEverywhere[] = {
    {Qt::Key_F1, "app.help"},
    {Qt::Key_F2, "player.back"},
    {Qt::Key_F3, "player.play"},
    {Qt::Key_F4, "player.pause"},
    {Qt::Key_F5, "player.next"},
    {Qt::Key_F6, "editor.show"},
    {Qt::ALT | Qt::Key_Up, "speed.faster"},
    {Qt::ALT | Qt::Key_Down, "speed.slower"},
    {Qt::ALT | Qt::Key_Home, "speed.normal"},
    {Qt::ALT | Qt::Key_PageDown, "voice.noise"},
    {Qt::ALT | Qt::Key_PageUp, "voice.levelling"},
};

// The editor's own keys: its menus, then its key handler.
const KeyCase kEditor[] = {
    {Qt::Key_F7, "dictionary.show"},
    {Qt::Key_F8, "dictionary.add"},
    {Qt::Key_F9, "dictionary.insert"},
    {Qt::SHIFT | Qt::Key_F9, "dictionary.insert_capital"},
    {Qt::Key_F10, "participants.show"},
    {Qt::Key_F11, "editor.invert_case"},
    {Qt::Key_F12, "editor.wrong_layout"},
    {Qt::CTRL | Qt::Key_C, "editor.copy"},
    {Qt::CTRL | Qt::Key_X, "editor.cut"},
    {Qt::CTRL | Qt::Key_V, "editor.paste"},
    {Qt::CTRL | Qt::Key_A, "editor.select_all"},
    {Qt::CTRL | Qt::Key_U, "editor.undo"},
    {Qt::CTRL | Qt::Key_Z, "editor.undo"},
    {Qt::CTRL | Qt::Key_R, "editor.redo"},
    {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, "editor.redo"},
    {Qt::CTRL | Qt::Key_Y, "editor.redo"},
    {Qt::CTRL | Qt::Key_F, "editor.find"},
    {Qt::CTRL | Qt::Key_H, "editor.replace"},
    {Qt::CTRL | Qt::Key_T, "timestamp.insert"},
    {Qt::CTRL | Qt::Key_J, "timestamp.play"},
    {Qt::CTRL | Qt::SHIFT | Qt::Key_X, "editor.cut"},
    {Qt::CTRL | Qt::ALT | Qt::Key_C, "editor.copy"},
    {Qt::CTRL | Qt::SHIFT | Qt::Key_V, "editor.paste"},
    {Qt::SHIFT | Qt::Key_Insert, "editor.paste"},
    {Qt::CTRL | Qt::Key_1, "editor.participant1"},
    {Qt::CTRL | Qt::Key_5, "editor.participant5"},
    {Qt::CTRL | Qt::Key_9, "editor.participant9"},
    {Qt::CTRL | Qt::Key_0, "editor.participant10"},
};

TEST_F(CommandKeys, EveryDefaultKeyRunsItsCommandInEveryWindowWhereItActs) {
    for (const Place& place : Places()) {
        for (const KeyCase& c : kEverywhere) {
            SCOPED_TRACE(std::string(place.name) + " " + c.id);
            EXPECT_EQ(Press(place, c.key), QStringList{c.id});
        }
    }
    const Place editor = Places()[1];
    for (const KeyCase& c : kEditor) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(Press(editor, c.key), QStringList{c.id});
        // F10 and Ctrl+digit with no name show the participants: those are commands too.
        ran.removeAll("participants.show");
    }
    // The editor's keys are its own: in the other windows they run nothing.
    for (const Place& place : Places()) {
        if (place.window == Form2) continue;
        for (const KeyCase& c : kEditor) {
            SCOPED_TRACE(std::string(place.name) + " " + c.id);
            EXPECT_EQ(Press(place, c.key), QStringList{});
        }
    }
}

TEST_F(CommandKeys, ButtonsAndMediaCallsReachTheSameCommands) {
    const std::pair<QAbstractButton*, const char*> buttons[] = {{Form1->BitBtn1, "player.back"},
                                                                {Form1->BitBtn2, "player.play"},
                                                                {Form1->BitBtn3, "player.pause"},
                                                                {Form1->BitBtn4, "player.next"},
                                                                {Form1->BitBtn5, "editor.show"}};
    for (const auto& [button, id] : buttons) {
        ran.clear();
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(ran, QStringList{QString(id)});
    }
    const MediaPlayerControls media = PlayerMediaControls(*Form1, CommandSet());
    const std::pair<std::function<void()>, const char*> calls[] = {{media.play, "player.play"},
                                                                   {media.pause, "player.pause"},
                                                                   {media.next, "player.next"},
                                                                   {media.previous, "player.back"}};
    for (const auto& [call, id] : calls) {
        ran.clear();
        call();
        EXPECT_EQ(ran, QStringList{QString(id)});
    }
    EXPECT_TRUE(Form1->Stopped);  // the last pause of the media calls halted the player
}

TEST_F(CommandKeys, PauseMovedToCtrlPWorksEverywhereAndF4DoesNothing) {
    ASSERT_TRUE(CommandSet().SetKeys("player.pause", {QKeySequence(Qt::CTRL | Qt::Key_P)}));
    for (const Place& place : Places()) {
        SCOPED_TRACE(place.name);
        Form1->BitBtn2Click();
        ASSERT_FALSE(Form1->Stopped);
        EXPECT_EQ(Press(place, Qt::Key_F4), QStringList{});
        EXPECT_FALSE(Form1->Stopped);
        EXPECT_EQ(Press(place, Qt::CTRL | Qt::Key_P), QStringList{"player.pause"});
        EXPECT_TRUE(Form1->Stopped);
    }
    EXPECT_TRUE(Form2->Memo1->toPlainText().isEmpty());  // neither key typed anything
    // The button and the menus show the key in force.
    EXPECT_EQ(Form1->Action3->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    // A menu item without a default key takes one and runs from its window only.
    ASSERT_TRUE(CommandSet().SetKeys("editor.font", {QKeySequence(Qt::CTRL | Qt::Key_E)}));
    bool asked = false;
    Form2->RunFontDialog = [&asked](QFont&, QColor&) { return asked = true, false; };
    EXPECT_EQ(Press(Places()[0], Qt::CTRL | Qt::Key_E), QStringList{});
    EXPECT_EQ(Press(Places()[1], Qt::CTRL | Qt::Key_E), QStringList{"editor.font"});
    EXPECT_TRUE(asked);
    EXPECT_EQ(Form2->N21->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
}

TEST_F(CommandKeys, AHeldKeyPlaysWhileItIsDownInEveryWindow) {
    ASSERT_TRUE(CommandSet().SetKeys("player.play_held", {QKeySequence(Qt::CTRL | Qt::Key_Space)}));
    for (const Place& place : Places()) {
        SCOPED_TRACE(place.name);
        Form1->BitBtn3Click();
        Press(place, Qt::Key_F20);  // makes the place active; a key of no command
        QWidget* target = place.focus != nullptr ? place.focus : place.window;
        ran.clear();
        QTest::keyPress(target, Qt::Key_Space, Qt::ControlModifier);
        EXPECT_FALSE(Form1->Stopped);
        EXPECT_TRUE(CommandSet().IsHeld("player.play_held"));
        // Ctrl let go first: the release of Space still ends the hold.
        QTest::keyRelease(target, Qt::Key_Space, Qt::NoModifier);
        EXPECT_TRUE(Form1->Stopped);
        EXPECT_FALSE(CommandSet().IsHeld("player.play_held"));
        EXPECT_EQ(ran, QStringList{"player.play_held"});
    }
    EXPECT_TRUE(Form2->Memo1->toPlainText().isEmpty());
}

TEST_F(CommandKeys, DialogRefusesATakenKeyRestoresDefaultsSavesAndCancels) {
    QTemporaryDir folder;
    const QString path = folder.filePath("nuvtolvek/keys.conf");
    {
        KeysDialog dialog(CommandSet(), path, Form1);
        dialog.SelectCommand("player.pause");
        EXPECT_EQ(dialog.FirstKey()->keySequence(), QKeySequence(Qt::Key_F4));
        dialog.FirstKey()->setKeySequence(QKeySequence(Qt::Key_F7));
        EXPECT_FALSE(dialog.ApplyFields());
        EXPECT_EQ(dialog.Message(), QString("Клавиша уже назначена команде «Открыть словарь»"));
        EXPECT_EQ(dialog.FirstKey()->keySequence(), QKeySequence(Qt::Key_F4));
        EXPECT_EQ(CommandSet().CommandForKey(Qt::Key_F7), "dictionary.show");

        dialog.SecondKey()->setKeySequence(QKeySequence(Qt::CTRL | Qt::Key_P));
        EXPECT_TRUE(dialog.ApplyFields());
        EXPECT_EQ(
            CommandSet().Keys("player.pause"),
            QList<QKeySequence>({QKeySequence(Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_P)}));
        EXPECT_EQ(Form1->Action3->shortcuts(), CommandSet().Keys("player.pause"));
        dialog.findChild<QPushButton*>("RestoreDefaults")->click();
        EXPECT_EQ(CommandSet().Keys("player.pause"), QList<QKeySequence>{QKeySequence(Qt::Key_F4)});

        dialog.FirstKey()->setKeySequence(QKeySequence(Qt::CTRL | Qt::Key_P));
        dialog.SecondKey()->clear();
        ASSERT_TRUE(dialog.ApplyFields());
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("\nplayer.pause = Ctrl+P\n"));
    {
        KeysDialog dialog(CommandSet(), path, Form1);
        dialog.SelectCommand("editor.font");
        dialog.FirstKey()->setKeySequence(QKeySequence(Qt::CTRL | Qt::Key_E));
        ASSERT_TRUE(dialog.ApplyFields());
        dialog.reject();  // Cancel: the keys as before the dialog
    }
    EXPECT_TRUE(CommandSet().Keys("editor.font").isEmpty());
    EXPECT_EQ(CommandSet().CommandForKey(Qt::CTRL | Qt::Key_P), "player.pause");
    // Both windows with a menu offer the dialog.
    for (QWidget* window : {static_cast<QWidget*>(Form1), static_cast<QWidget*>(Form2)}) {
        auto* settings = window->findChild<QMenu*>("SettingsMenu");
        ASSERT_NE(settings, nullptr);
        EXPECT_NE(settings->findChild<QAction*>("KeysItem"), nullptr);
    }
}

TEST_F(CommandKeys, DialogGivesACommandAGlobalKeyThroughTheLinkAndShowsItAgain) {
    QTemporaryDir folder;
    const QString path = folder.filePath("nuvtolvek/keys.conf");
    QMap<QString, QKeySequence> held;  // what the desktop took, by command
    QStringList asked;
    GlobalKeyLink link;
    link.set = [&](const QString& command, const QKeySequence& key) {
        asked << command + "=" + key.toString(QKeySequence::PortableText);
        if (key == QKeySequence(Qt::Key_F3)) return QString("F3 уже занята программой xbindkeys");
        if (key.isEmpty())
            held.remove(command);
        else
            held[command] = key;
        return QString();
    };
    link.get = [&](const QString& command) { return held.value(command); };
    link.way = [] { return QString("Рабочий стол не даёт программам глобальных клавиш."); };
    {
        KeysDialog dialog(CommandSet(), path, Form1, link);
        EXPECT_EQ(dialog.findChild<QLabel*>("GlobalKeyWay")->text(),
                  "Рабочий стол не даёт программам глобальных клавиш.");
        dialog.SelectCommand("player.pause");
        EXPECT_FALSE(dialog.GlobalBox()->isChecked());  // none by default
        EXPECT_FALSE(dialog.GlobalKey()->isEnabled());
        dialog.GlobalBox()->setChecked(true);
        dialog.GlobalKey()->setKeySequence(QKeySequence(Qt::Key_F3));
        EXPECT_FALSE(dialog.ApplyGlobal());
        EXPECT_EQ(dialog.Message(), "F3 уже занята программой xbindkeys");
        EXPECT_TRUE(dialog.GlobalBox()->isChecked());  // another key can be tried at once
        EXPECT_TRUE(dialog.GlobalKey()->keySequence().isEmpty());
        dialog.GlobalKey()->setKeySequence(QKeySequence(Qt::CTRL | Qt::Key_F9));
        EXPECT_TRUE(dialog.ApplyGlobal());
        EXPECT_TRUE(dialog.Message().isEmpty());
        dialog.reject();
    }
    EXPECT_EQ(held.value("player.pause"), QKeySequence(Qt::CTRL | Qt::Key_F9));
    // The editor's own keys are not touched by a global one.
    EXPECT_EQ(CommandSet().Keys("player.pause"), QList<QKeySequence>{QKeySequence(Qt::Key_F4)});
    {
        KeysDialog dialog(CommandSet(), path, Form1, link);
        dialog.SelectCommand("player.play");
        EXPECT_FALSE(dialog.GlobalBox()->isChecked());
        dialog.SelectCommand("player.pause");
        EXPECT_TRUE(dialog.GlobalBox()->isChecked());
        EXPECT_EQ(dialog.GlobalKey()->keySequence(), QKeySequence(Qt::CTRL | Qt::Key_F9));
        dialog.GlobalBox()->setChecked(false);  // taken away at once
    }
    EXPECT_FALSE(held.contains("player.pause"));
    EXPECT_EQ(asked, QStringList({"player.pause=F3", "player.pause=Ctrl+F9", "player.pause="}));
}

TEST_F(CommandKeys, StartUpReadsTheKeysFileAndTellsOnceWhatWasWrong) {
    QTemporaryDir config;
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    ASSERT_TRUE(QDir(config.path()).mkpath("nuvtolvek"));
    const QString path = config.filePath("nuvtolvek/keys.conf");
    const QByteArray text =
        "player.pause = Ctrl+P\nplayer.fly = Ctrl+K\neditor.font = Ctrl+Ы+F99\n";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    DestroyWindowSet();
    CreateWindowSet();
    Form1->Timer1->stop();
    qputenv("XDG_CONFIG_HOME", savedConfig);
    EXPECT_EQ(CommandSet().CommandForKey(Qt::CTRL | Qt::Key_P), "player.pause");
    EXPECT_TRUE(CommandSet().HasDefaultKeys("editor.font"));
    const QString note = Form1->StatusBar1->Note();
    EXPECT_TRUE(note.startsWith("Файл клавиш: ")) << note.toStdString();
    EXPECT_TRUE(note.contains("и ещё 1")) << note.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), text);  // not rewritten until the typist saves
}

}  // namespace
