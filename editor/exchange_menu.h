// The editor's way out and in for other formats: "Файл" → "Экспорт" (ODT, DOCX, SRT, WebVTT,
// text), "Файл" → "Открыть черновик…" and drafts dropped onto the text, and "Настройки" →
// "Метки времени" (the style new timestamps are written in and the tape offset). The
// settings are kept between runs. The work itself is exchange_core's; this only asks and
// forwards.
// User-interface thread only.
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <functional>

#include "editor/timestamps.h"
#include "exchange/export.h"
#include "project/project_file.h"

class QAction;
class QMenu;
class TForm2;
namespace commands {
class Registry;
}

class ExchangeMenu : public QObject {
    Q_OBJECT
  public:
    // Adds the entries to the editor's file and settings menus: the export submenu after
    // `after` (the HTML export), the draft entry after `openItem`.
    ExchangeMenu(TForm2& editor, QMenu* file, QAction* openItem, QAction* after, QMenu* settings);

    QAction* OpenDraftItem = nullptr;       // "Открыть черновик…"
    std::array<QAction*, 5> ExportItems{};  // in the order of exchange::ExportFormat
    std::array<QAction*, kTimestampFormatCount> StyleItems{};
    QAction* OffsetItem = nullptr;  // "Смещение…"
    // The "Метки времени" box of the last document or text export, offered again.
    bool ExportTimestamps = true;

    // Replaceable dialogs (tests set these).
    // The save dialog of an export: the path, and the "Метки времени" check box for
    // documents and text. True when confirmed.
    std::function<bool(QString& path, exchange::ExportFormat format, bool& timestamps)>
        RunExportDialog;
    std::function<bool(QString& path)> RunDraftDialog;
    std::function<bool(QString& offsetText)> RunOffsetDialog;
    // The participants table (names and colours).
    std::function<project::ParticipantTable()> Participants;

    void ExportClick(exchange::ExportFormat format);
    void OpenDraftClick();
    // Reads the draft at `path` into the text: in place of the whole text (replaceAll) or of
    // the selection, as one undo step. A broken draft is said and nothing changes.
    bool TakeDraft(const QString& path, bool replaceAll);
    void SetStyle(const TimestampStyle& style);
    TimestampStyle Style() const;
    void OffsetClick();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void SaveSettings() const;

    TForm2& editor_;
    QObject* viewport_;  // compared only: it may be going when the editor closes
    QString exportFolder_;
};

// Registers the entries as commands of the editor (no default keys) and makes the menu items
// run them.
void WireExchangeCommands(commands::Registry& registry, ExchangeMenu& menu);
