// "Файл" → "Распознать черновик…": a recogniser runs on the current recording in the
// background, its progress and "Отмена" in the editor's status bar, and its draft comes into
// the text as one undo step, at the caret or in place of the text (asked, before the run, when
// the text is not empty). "Настройки" → "Распознавание…" chooses the recogniser.
// User-interface thread only; the interface never waits for the recogniser.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "recognize/recognition.h"
#include "recognize/recognizer.h"

class QAction;
class QMenu;
class QProgressBar;
class QPushButton;
class TForm2;
namespace commands {
class Registry;
}

class RecognizeMenu : public QObject {
    Q_OBJECT
  public:
    RecognizeMenu(TForm2& editor, QMenu* file, QAction* after, QMenu* settings);
    ~RecognizeMenu() override;  // a running recogniser is stopped, its files removed

    QAction* RecognizeItem = nullptr;  // "Распознать черновик…"
    QAction* SettingsItem = nullptr;   // "Распознавание…"

    enum class Place { Cancel, Replace, AtCaret };
    // Replaceable (tests set these): the current recording's path (empty: none open), the
    // question asked when the text is not empty, the settings and their dialog.
    std::function<QString()> Recording;
    std::function<Place()> AskPlace;
    std::function<recognize::Settings()> Settings;
    std::function<void()> RunSettingsDialog;

    void RecognizeClick();
    void Cancel();
    bool Running() const { return recognition_.Running(); }
    int Percent() const;  // of the progress bar, -1 when hidden

  protected:
    // Closing the editor stops a running recogniser: its draft would come into a text the
    // typist has put away.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Take(const std::vector<exchange::Segment>& draft);
    void Finish(const QString& message);

    TForm2& editor_;
    recognize::Recognition recognition_;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
    Place place_ = Place::Replace;
};

// Registers "Распознать черновик" and "Распознавание" as editor commands (no default keys).
void WireRecognizeCommands(commands::Registry& registry, RecognizeMenu& menu);
