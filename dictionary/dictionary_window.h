// "NUV Tolvek - Словарь": the abbreviation dictionary window. The grid StringGrid1 is the
// live dictionary; the file beside the executable is loaded by the constructor and written
// after every add, delete and commit of in-place edits. Created hidden at start-up and kept
// for the life of the process. Every member runs on the user-interface thread.
#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>

#include "dictionary/dictionary_file.h"
#include "dictionary/dictionary_model.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTableView;

class TForm3 : public QWidget {
    Q_OBJECT
  public:
    // Loads ExeDir + "/NUV_Tolvek.lib"; throws textfiles::FileError when it cannot be read.
    explicit TForm3(QWidget* parent = nullptr);
    // The same with the dictionary file given.
    explicit TForm3(const QString& dictionaryPath, QWidget* parent = nullptr);
    ~TForm3() override;

    // ---- Controls ----
    QTableView* StringGrid1 = nullptr;  // the dictionary table
    DictionaryModel* Table = nullptr;   // its rows
    QLineEdit* Edit1 = nullptr;         // abbreviation
    QLineEdit* Edit2 = nullptr;         // text
    QPushButton* Button1 = nullptr;     // "Добавить"
    QStatusBar* StatusBar1 = nullptr;
    QLabel* RecordCountPanel = nullptr;  // panel 0: "Записей: n"
    QLabel* SparePanel = nullptr;        // panel 1, never written
    QPlainTextEdit* Memo1 = nullptr;     // hidden line buffer

    QMenu* PopupMenu1 = nullptr;  // attached to nothing: the store operations
    QAction* MemoStringGrid1 = nullptr;
    QAction* N1 = nullptr;
    QMenu* PopupMenu2 = nullptr;  // the table's context menu
    QAction* N5 = nullptr;        // "Копировать"
    QAction* N6 = nullptr;        // "Вставить"
    QAction* N2 = nullptr;        // "Удалить запись"
    QAction* N4 = nullptr;        // "Очистить словарь"
    QAction* AllowDuplicates = nullptr;  // "Разрешить добавление одинаковых сокращений"

    // ---- Store ----
    // The line buffer that every read, write and rebuild passes through.
    QStringList LineBuffer;
    DictionaryFile File;
    // Set by in-place editing, never cleared: from then on every move of the focus out of
    // the table re-sorts and saves.
    bool GridEdited = false;

    // ---- Replaceable dialogs (tests set these) ----
    // A message box with an OK button.
    std::function<void(const QString& text)> ShowMessage;
    // A warning box with OK and Cancel and no owner; true for OK.
    std::function<bool(const QString& text, const QString& title)> AskOkCancel;
    // The standard error dialog for a failed save.
    std::function<void(const QString& text)> ShowError;

    // ---- Handlers ----
    void MemoStringGrid1Click();  // rebuild: line buffer → sorted table, record count
    void N1Click();               // save: table → file; throws textfiles::FileError
    void Button1Click();          // add
    void Edit1KeyPress(QChar key);
    void Edit2KeyPress(QChar key);
    void N2Click();  // delete the current row
    void N4Click();  // clear after a warning
    void N5Click();  // copy the current cell
    void N6Click();  // paste into the current cell
    void StringGrid1SetEditText(int row, int column, const QString& text);
    void StringGrid1Exit();
    void FormResize();

    // Shows the window without making it modal and brings it to the front.
    void ShowInFront();
    // "Записей: " and the number of data rows.
    void ShowRecordCount(int count);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void BuildControls();
    void LoadDictionary();
    // Saves; a failure goes to ShowError and ends the command there.
    bool SaveShowingErrors();
    // The current cell in model coordinates; the first cell when none is current.
    QModelIndex CurrentCell() const;
    void OnFocusChanged(QWidget* old, QWidget* now);
    bool InGrid(const QWidget* widget) const;
};
