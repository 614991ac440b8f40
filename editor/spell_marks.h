// Spell checking in the editor window: red wavy underlines under misspelt words on screen
// (checked again after every change and scroll, only for what is in view), and on the
// text's context menu up to eight corrections and "Добавить в словарь" for the word under
// the mouse. Switched on and off from the "Настройки" menu.
// User-interface thread only.
#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QStringList>
#include <QTextCursor>
#include <functional>
#include <future>
#include <memory>
#include <optional>

#include "editor/spelling.h"

class EditorText;
class QMenu;
class QPlainTextEdit;
class QTimer;
class TEditHistory;

class SpellMarks : public QObject {
    Q_OBJECT
  public:
    SpellMarks(QPlainTextEdit* memo, EditorText& text, TEditHistory& history,
               std::function<void(const QString&)> note, QObject* parent = nullptr);
    ~SpellMarks() override;

    // Where the Hunspell dictionaries are read from (before the first check).
    QString DictionaryFolder = QStringLiteral("/usr/share/hunspell");
    // The texts of the abbreviation dictionary (both columns); asked again after
    // AbbreviationsChanged.
    std::function<QStringList()> AbbreviationTexts;
    void AbbreviationsChanged();

    // False (with a note) when switched on but no dictionary could be found.
    bool SetEnabled(bool on);
    bool Enabled() const { return enabled_; }

    // Checks the text on screen now and redraws the underlines.
    void Refresh();
    // The words underlined now, in the order of the text.
    QStringList UnderlinedWords() const;
    // The misspelt word under a point of the viewport: its offsets (CR LF counted as two)
    // and text.
    struct Word {
        TextRange range;
        QString text;
    };
    std::optional<Word> MisspeltWordAt(QPoint viewportPos);
    // Puts the corrections and "Добавить в словарь" for the word under the point at the
    // top of `menu`; false when the point is on no misspelt word.
    bool AddToMenu(QMenu& menu, QPoint viewportPos);
    // The two actions of that menu, as operations.
    void Correct(const Word& word, const QString& replacement);
    void AddToDictionary(const Word& word);

    SpellChecker* Checker() { return checker_.get(); }
    // The dictionaries load in the background the first time the text is on screen; this
    // waits for them. False when none could be found.
    bool WaitUntilLoaded();

  signals:
    // The dictionaries are missing: the check has switched itself off.
    void Unavailable();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool EnsureChecker();
    void StartLoading();
    void TakeLoaded();
    void Schedule();
    void SetUnderlined(QList<QTextCursor> marks);
    // The underlines stay in the rows of their own line under the letters: what the letters
    // of the line below reach into stays clear.
    void PaintUnderlines();

    QPlainTextEdit* memo_;
    EditorText& text_;
    TEditHistory& history_;
    QList<QTextCursor> underlined_;
    std::function<void(const QString&)> note_;
    std::unique_ptr<SpellChecker> checker_;
    std::future<std::unique_ptr<SpellChecker>> loading_;
    QTimer* timer_ = nullptr;
    QTimer* loadPoll_ = nullptr;
    bool enabled_ = true;
    bool abbreviationsDirty_ = true;
    bool unavailable_ = false;
};
