// "NUV Tolvek - Редактор": the transcript editor. One word-wrapped text control (Memo1)
// holding the whole transcript, a status bar showing where the caret is, and a main menu.
// Created hidden at start-up and kept for the life of the process.
// Every member runs on the user-interface thread.
#pragma once

#include <QColor>
#include <QFont>
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

#include "editor/edit_history.h"
#include "editor/memo_text.h"
#include "editor/timestamps.h"
#include "textfiles/textfiles.h"

class ExchangeMenu;
class FindBar;
class MemoMarks;
class QAction;
class QKeyEvent;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QStatusBar;
class SpellMarks;
class TimestampLinks;

// The state of one text-file dialog: its last file name and its own encoding choice.
struct TextFileDialog {
    QString FileName;
    textfiles::Encoding Encoding = textfiles::Encoding::Ansi;
};

class TForm2 : public QMainWindow {
    Q_OBJECT
  public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    // ---- Controls ----
    QPlainTextEdit* Memo1 = nullptr;  // the transcript, word-wrapped
    QPlainTextEdit* Memo2 = nullptr;  // hidden page buffer of the HTML export, no wrap
    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, 4> StatusPanels{};

    QAction* N2 = nullptr;     // "Открыть"
    QAction* N4 = nullptr;     // "Сохранить"
    QAction* N5 = nullptr;     // "Сохранить как"
    QAction* HTML1 = nullptr;  // "Экспорт в HTML"
    QAction* N10 = nullptr;    // "Выход"
    QAction* N28 = nullptr;    // "Копировать" Ctrl+C
    QAction* N30 = nullptr;    // "Вырезать" Ctrl+X
    QAction* N29 = nullptr;    // "Вставить" Ctrl+V
    QAction* N32 = nullptr;    // "Выделить всё" Ctrl+A
    QAction* N34 = nullptr;    // "Отменить" Ctrl+U
    QAction* N35 = nullptr;    // "Повторить" Ctrl+R
    QAction* N37 = nullptr;    // "Инверсия регистра" F11
    QAction* N38 = nullptr;    // "Неверная раскладка" F12
    QAction* N18 = nullptr;    // "Открыть словарь" F7
    QAction* N16 = nullptr;    // "Добавить текст в словарь" F8
    QAction* F81 = nullptr;    // "Вставить из словаря" F9
    QAction* N23 = nullptr;  // "Вставить из словаря (первая заглавная)" Shift+F9
    QAction* N25 = nullptr;                // "Показать участников" F10
    QAction* N21 = nullptr;                // "Шрифт"
    QAction* N22 = nullptr;                // "Цвет фона"
    QAction* FindItem = nullptr;           // "Найти…" Ctrl+F
    QAction* ReplaceItem = nullptr;        // "Заменить…" Ctrl+H
    QAction* TimestampItem = nullptr;      // "Вставить метку времени" Ctrl+T
    QAction* PlayTimestampItem = nullptr;  // "Играть с метки времени" Ctrl+J
    QAction* SpellItem = nullptr;          // "Проверка орфографии", checkable
    QAction* HelpItem = nullptr;
    QAction* AboutItem = nullptr;
    QMenu* EditMenu = nullptr;      // "Редактирование", also the text's context menu
    QMenu* SettingsMenu = nullptr;  // "Настройки"
    // Ctrl+1 … Ctrl+0: the turn marker of participant 1 … 10 (in no menu; Memo1KeyDown runs them).
    std::array<QAction*, 10> ParticipantItems{};

    // ---- Features beside the text ----
    FindBar* FindBar1 = nullptr;
    TimestampLinks* Timestamps = nullptr;
    SpellMarks* Spelling = nullptr;
    ExchangeMenu* Exchange = nullptr;  // export, drafts, timestamp styles
    // The player as the timestamps reach it; wired by the window set.
    void SetPlayerLink(PlayerLink link);
    // The other windows as the editor reaches them; wired by the window set.
    std::function<void()> ShowDictionary;    // F7
    std::function<void()> ShowParticipants;  // F10, and after a participant without a name
    std::function<QString(int participant)> ParticipantName;  // 1 … 10; empty when unset
    // A short message in the status bar that goes away by itself.
    void ShowNote(const QString& text);

    // ---- Dialog state (each dialog keeps its own) ----
    TextFileDialog OpenTextFileDialog1;
    TextFileDialog SaveTextFileDialog1;  // its FileName is the transcript's file name
    TextFileDialog SaveTextFileDialog2;  // the HTML export's
    QFont FontDialog1Font;
    QColor FontDialog1Color;
    QColor ColorDialog1Color;

    // ---- Text, history, encoding ----
    TEditHistory History;
    // The text of Memo1 in the program's offsets (CR LF counted as two).
    EditorText& MemoText() { return memoText_; }
    // The encoding with which a file was last read into Memo1 (Open or project commands).
    textfiles::Encoding TextEncoding = textfiles::Encoding::Ansi;

    // For the project commands: the whole text, and replacing it without a snapshot.
    QString Text() const;
    void ReplaceText(const QString& text);
    // Reads a file with byte-order-mark detection into Memo1 (no snapshot); the encoding
    // found becomes TextEncoding. Throws textfiles::FileError.
    void ReadFileDetect(const QString& path);

    // ---- Replaceable dialogs (tests set these) ----
    // Runs a text-file dialog on `dialog`; true when confirmed (FileName and Encoding set).
    std::function<bool(TextFileDialog& dialog, bool save)> RunTextFileDialog;
    std::function<bool(QFont& font, QColor& color)> RunFontDialog;
    std::function<bool(QColor& color)> RunColorDialog;
    // A message box with an OK button; returns when it is closed.
    std::function<void(const QString& text)> ShowMessage;
    // The standard error dialog for a failed file operation.
    std::function<void(const QString& text)> ShowError;
    // Called after Open has read a text file or Save has written one: the text is stored.
    std::function<void()> TextStored;

    // ---- Handlers ----
    void N2Click();             // open
    void N4Click();             // save
    void N5Click();             // save as
    void HTML1Click();          // export to HTML
    void N10Click();            // exit
    void N28Click();            // copy
    void N30Click();            // cut
    void N29Click();            // paste
    void N32Click();            // select all
    void N34Click();            // undo
    void N35Click();            // redo
    void N37Click();            // invert case
    void N38Click();            // wrong keyboard layout
    void N18Click();            // show the dictionary
    void N16Click();            // add text to the dictionary
    void F81Click();            // insert from the dictionary
    void N23Click();            // insert from the dictionary, first letter capital
    void N25Click();            // show the participants
    void N21Click();            // font
    void N22Click();            // background colour
    void FindClick();           // open the find bar
    void ReplaceClick();        // open the find bar with the replace row
    void TimestampClick();      // insert the player's position
    void PlayTimestampClick();  // play from the timestamp at the caret
    void SpellClick();          // switch spell checking
    void Memo1Click();          // status refresh
    void Memo1KeyUp();
    // Ctrl+digit turn markers, Ctrl+Shift/Alt+X/C/V; true when the key was used.
    bool Memo1KeyDown(QKeyEvent* event);
    void InsertParticipant(int participant);  // the turn marker of participant 1 … 10
    void StatusBar1Resize();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    bool statusRefreshPending_ = false;
    void BuildMenus();
    bool IsMenuShortcut(QKeyEvent* event) const;
    // Runs a file command; a FileError goes to ShowError and ends the command.
    void GuardFileCommand(const std::function<void()>& command);

    void ShowContextMenu(const QPoint& viewportPos);

    ::MemoText memoText_{nullptr};
    std::unique_ptr<MemoMarks> marks_;
    QList<QAction*> menuActions_;
};
