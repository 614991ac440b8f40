#include "app/strip_wiring.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "commands/default_commands.h"
#include "commands/registry.h"
#include "editor/editor_window.h"
#include "editor/timestamp_links.h"
#include "participants/participants_window.h"
#include "player/player_window.h"
#include "player/strip_workbench.h"
#include "timecode/timestamp_turns.h"
#include "timecode/timestamps.h"

namespace {

// The colour of the participant named `name` (red in the low byte), 0 when none is.
QRgb SpeakerColour(const TForm5& participants, const QString& name) {
    if (name.isEmpty()) return 0;
    for (int k = 1; k <= 10; ++k) {
        if (participants.Cells(k, 2) != name) continue;
        bool ok = false;
        const int value = participants.Cells(k, 3).toInt(&ok);
        if (!ok) return 0;
        return qRgb(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
    }
    return 0;
}

}  // namespace

void WireStrip(commands::Registry& registry, TForm1& player, TForm2& editor, TForm5& participants) {
    StripWorkbench* strip = player.Strip;
    const QString everywhere = QString::fromUtf16(commands::kEverywhere);
    const QString playerWindow = QString::fromUtf16(commands::kPlayerWindow);
    using commands::Kind;
    using commands::Reach;
    struct Entry {
        commands::Command command;
        std::function<void()> run;
        QAction* item;
    } entries[] = {
        {{"waveform.zoom_in",
          QStringLiteral("Волна: крупнее"),
          {QKeySequence(Qt::ALT | Qt::Key_Equal)},
          Kind::Plain,
          Reach::Everywhere,
          everywhere},
         [strip] { strip->ZoomIn(); },
         strip->ZoomInItem},
        {{"waveform.zoom_out",
          QStringLiteral("Волна: мельче"),
          {QKeySequence(Qt::ALT | Qt::Key_Minus)},
          Kind::Plain,
          Reach::Everywhere,
          everywhere},
         [strip] { strip->ZoomOut(); },
         strip->ZoomOutItem},
        {{"waveform.whole",
          QStringLiteral("Волна: вся запись"),
          {QKeySequence(Qt::ALT | Qt::Key_End)},
          Kind::Plain,
          Reach::Everywhere,
          everywhere},
         [strip] { strip->WholeRecording(); },
         strip->WholeItem},
        {{"waveform.clear_selection",
          QStringLiteral("Снять выделение на волне"),
          {QKeySequence(Qt::Key_Escape)},
          Kind::Plain,
          Reach::Window,
          playerWindow},
         [strip] { strip->ClearSelection(); },
         strip->ClearItem},
    };
    for (const Entry& entry : entries) {
        registry.Add(entry.command);
        registry.SetHandler(entry.command.id, entry.run);
        registry.BindAction(entry.item, entry.command.id);
    }

    TForm2* e = &editor;
    TForm5* people = &participants;
    TForm1* p = &player;
    strip->Link.Ticks = [e, people] {
        std::vector<StripTick> ticks;
        // Timestamps are written in tape time; the strip shows the recording's.
        const TimestampStyle style = e->Timestamps->Style;
        for (const TimestampTurn& turn : TimestampTurns(e->Memo1->toPlainText()))
            ticks.push_back(
                {RecordingSeconds(turn.Seconds, style), SpeakerColour(*people, turn.Speaker)});
        return ticks;
    };
    strip->Link.ShowInEditor = [e, p](double seconds) {
        for (const TimestampTurn& turn : TimestampTurns(e->Memo1->toPlainText())) {
            if (RecordingSeconds(turn.Seconds, e->Timestamps->Style) != seconds) continue;
            QTextCursor cursor(e->Memo1->document());
            cursor.setPosition(static_cast<int>(turn.Start));
            cursor.setPosition(static_cast<int>(turn.Start + turn.Length), QTextCursor::KeepAnchor);
            e->Memo1->setTextCursor(cursor);
            e->Memo1->ensureCursorVisible();
            break;
        }
        p->BitBtn5Click();
    };
}
