// The waveform strip PaintBox1 as a workbench: zoom (Ctrl+wheel, the "Волна" menu),
// scrolling (wheel, dragging the overview), the time ruler and overview, the cycle's
// fragment shaded, the transcript's timestamps as ticks (click: play from it; double click:
// show it in the editor), and a selection loop (drag to select, Esc or a click outside to
// clear). At the default scale without a selection the strip is drawn and behaves as it
// always has.
//
// User-interface thread only.
#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <vector>

#include "player/detail_peaks.h"
#include "player/selection_loop.h"
#include "player/strip_picture.h"

class QAction;
class QMenu;
class TForm1;
class WaveformView;

// What the strip needs of the editor, wired in app/.
struct StripLink {
    // The transcript's timestamps, with the speaker's colour where a turn marker follows.
    std::function<std::vector<StripTick>()> Ticks;
    // Shows the timestamp of `seconds` in the editor.
    std::function<void(double seconds)> ShowInEditor;
};

class StripWorkbench : public QObject {
    Q_OBJECT
  public:
    StripWorkbench(TForm1& player, WaveformView* strip);

    StripLink Link;

    // The "Волна" menu of the player window; its items run the commands bound to them.
    QMenu* Menu = nullptr;
    QAction* ZoomInItem = nullptr;   // "Крупнее"
    QAction* ZoomOutItem = nullptr;  // "Мельче"
    QAction* WholeItem = nullptr;    // "Вся запись"
    QAction* EndlessItem = nullptr;  // "Повторять выделение без конца"
    QAction* ClearItem = nullptr;    // "Снять выделение"

    // Zoomed, or a selection set: the strip is drawn as a workbench.
    bool Active() const;
    const StripView& View() const { return view_; }
    const std::optional<LoopSelection>& Selection() const { return selection_; }

    void ZoomIn();
    void ZoomOut();
    void WholeRecording();
    // Sets a selection (held inside the recording; nullopt or too short clears it): the
    // cycle starts afresh and plays it from its start.
    void SetSelection(std::optional<LoopSelection> selection, bool play = true);
    // The normal cycle goes on from where the sound is.
    void ClearSelection();

    // ---- called by the player window ----
    // A recording was opened: the selection goes, the detail is for this one.
    void SetRecording(const QString& path);
    // Draws the strip after the tick's engine work.
    void Draw(double position, double length);
    // Where a click at x seeks to.
    double ClickTarget(int x, double position, double length) const;
    // The tick's cycle step while a selection is set; false when none is set.
    bool LoopStep();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildMenu();
    StripScene Scene(double position, double length);
    double Length() const;
    double Position() const;
    void ZoomTo(double pixelsPerSecond, int anchorX);

    TForm1& player_;
    WaveformView* strip_;
    StripView view_;
    DetailPeaks detail_;
    StripOverview overview_;
    std::optional<LoopSelection> selection_;
    std::optional<LoopSelection> dragging_;  // shown while the mouse selects
    std::vector<StripTick> ticks_;
    int ticksAge_ = 0;
    int pressX_ = -1;
    bool draggedSelection_ = false;
    bool draggingOverview_ = false;
    bool wasFollowing_ = true;
};
