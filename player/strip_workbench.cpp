#include "player/strip_workbench.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>
#include <cstdlib>

#include "audio/audio.h"
#include "player/cycle_marks.h"
#include "player/player_transport.h"
#include "player/player_window.h"
#include "player/transport_rules.h"
#include "player/waveform_view.h"

namespace {

// A press that moves this far selects instead of clicking.
constexpr int kDragPixels = 4;
// The transcript's ticks are read again every so many drawings (once a second).
constexpr int kTicksRefresh = 5;

}  // namespace

StripWorkbench::StripWorkbench(TForm1& player, WaveformView* strip)
    : QObject(strip), player_(player), strip_(strip) {
    strip_->installEventFilter(this);
    strip_->setMouseTracking(false);
    BuildMenu();
}

void StripWorkbench::BuildMenu() {
    // The window puts it into its menu bar beside its own menus.
    Menu = new QMenu(QStringLiteral("Волна"), &player_);
    Menu->setObjectName(QStringLiteral("StripMenu"));
    ZoomInItem = Menu->addAction(QStringLiteral("Крупнее"));
    ZoomOutItem = Menu->addAction(QStringLiteral("Мельче"));
    WholeItem = Menu->addAction(QStringLiteral("Вся запись"));
    Menu->addSeparator();
    EndlessItem = Menu->addAction(QStringLiteral("Повторять выделение без конца"));
    EndlessItem->setCheckable(true);
    ClearItem = Menu->addAction(QStringLiteral("Снять выделение"));
    connect(EndlessItem, &QAction::toggled, this, [this](bool endless) {
        if (selection_) selection_->Endless = endless;
    });
}

bool StripWorkbench::Active() const {
    return !IsDefaultScale(view_.PixelsPerSecond) || selection_ || dragging_ || !view_.Following;
}

double StripWorkbench::Length() const {
    return audio::BytesToSeconds(player_.Stream,
                                 audio::StreamLength(player_.Stream, audio::POS_BYTE));
}

double StripWorkbench::Position() const {
    return audio::BytesToSeconds(player_.Stream,
                                 audio::StreamPosition(player_.Stream, audio::POS_BYTE));
}

void StripWorkbench::ZoomTo(double pixelsPerSecond, int anchorX) {
    if (player_.Stream == 0) return;
    ZoomView(view_, pixelsPerSecond, anchorX, Position(), Length(), player_.Envelope.Count(),
             strip_->width());
    Draw(Position(), Length());
}

void StripWorkbench::ZoomIn() {
    ZoomTo(ZoomInScale(view_.PixelsPerSecond, Length(), strip_->width()), strip_->width() / 2);
}

void StripWorkbench::ZoomOut() {
    ZoomTo(ZoomOutScale(view_.PixelsPerSecond, Length(), strip_->width()), strip_->width() / 2);
}

void StripWorkbench::WholeRecording() {
    view_.Following = true;
    ZoomTo(WholeRecordingScale(Length(), strip_->width()), strip_->width() / 2);
}

void StripWorkbench::SetSelection(std::optional<LoopSelection> selection, bool play) {
    if (selection && player_.Stream != 0)
        selection = MakeSelection(selection->Start, selection->End, Length(), selection->Endless);
    selection_ = selection;
    if (!selection_) return;
    EndlessItem->setChecked(selection_->Endless);
    // The next step starts the loop at the selection's start.
    ResetCycle(player_.Cycle);
    if (play && player_.Stream != 0 && player_.Stopped) {
        player_.Stopped = false;
        player_.N20Click();
        audio::PlayStream(player_.Stream, false);
    }
}

void StripWorkbench::ClearSelection() {
    if (!selection_) return;
    selection_.reset();
    // The normal cycle goes on from where the sound is; after a halt at the end of the
    // loop it waits for F3 as before.
    ResetCycle(player_.Cycle);
    if (player_.Stream != 0) Draw(Position(), Length());
}

void StripWorkbench::SetRecording(const QString& path) {
    detail_.SetRecording(QFile::encodeName(path).toStdString());
    selection_.reset();
    dragging_.reset();
    view_.Following = true;
    view_.HoldTicks = 0;
    overview_ = StripOverview{};
    ticksAge_ = kTicksRefresh;
}

StripScene StripWorkbench::Scene(double position, double length) {
    StripScene scene;
    scene.View = view_;
    scene.Position = position;
    scene.Length = length;
    scene.Selection = dragging_ ? dragging_ : selection_;
    if (!scene.Selection) {
        const CycleParameters p = player_.FieldParameters();
        scene.Fragment =
            CycleMarks(player_.Cycle, position, length, p.L, p.N, p.P, p.S, player_.Speed);
    }
    if (++ticksAge_ >= kTicksRefresh) {
        ticks_ = Link.Ticks ? Link.Ticks() : std::vector<StripTick>{};
        ticksAge_ = 0;
    }
    scene.Ticks = ticks_;
    return scene;
}

void StripWorkbench::Draw(double position, double length) {
    const int width = strip_->width();
    const std::int32_t count = player_.Envelope.Count();
    if (pressX_ < 0 && !draggingOverview_)
        TickView(view_, position, length, count, width, !player_.Stopped);
    if (!Active()) {
        if (count >= 1) strip_->DrawEnvelope(player_.Envelope, position, length);
        return;
    }
    if (view_.PixelsPerSecond > kDefaultPixelsPerSecond) {
        std::int64_t first = 0;
        std::int64_t end = 0;
        std::int64_t last = 0;
        DetailPeaks::PixelColumns(view_, 0, first, end);
        DetailPeaks::PixelColumns(view_, width - 1, last, end);
        detail_.Want(first, end);
    }
    PaintStrip(strip_->Canvas(), player_.Envelope, &detail_, Scene(position, length), overview_);
    strip_->update();
}

double StripWorkbench::ClickTarget(int x, double position, double length) const {
    StripView view = view_;
    const std::int32_t count = player_.Envelope.Count();
    // As the strip stands now, not as the last tick left it.
    if (view.Following && pressX_ < 0)
        view.FirstPixel =
            FollowFirstPixel(view.PixelsPerSecond, position, length, count, strip_->width());
    return StripClickTarget(view, x, position, length, count);
}

bool StripWorkbench::LoopStep() {
    if (!selection_ || player_.Stream == 0) return false;
    const CycleParameters p = player_.FieldParameters();
    const LoopAction action =
        AdvanceSelectionLoop(player_.Cycle, *selection_, kCycleStep, p.N, p.P, player_.Speed);
    const bool halt = ActOnLoop(player_.Stream, action, *selection_, [this] {
        player_.N20Click();
        audio::PlayStream(player_.Stream, false);
    });
    if (halt) player_.Stopped = true;
    return true;
}

bool StripWorkbench::eventFilter(QObject* watched, QEvent* event) {
    if (watched != strip_ || player_.Stream == 0) return false;
    const int width = strip_->width();
    const int height = strip_->height();
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) return false;
            const QPoint at = mouse->position().toPoint();
            const bool twice = event->type() == QEvent::MouseButtonDblClick;
            if (Active() && StripOverviewArea(width, height).contains(at)) {
                if (twice) {
                    WholeRecording();
                } else {
                    draggingOverview_ = true;
                    view_.FirstPixel =
                        OverviewToFirstPixel(at.x(), width, Length(), view_.PixelsPerSecond, width);
                    view_.Following = false;
                    view_.HoldTicks = 0;
                    Draw(Position(), Length());
                }
                return true;
            }
            if (Active()) {
                StripScene scene;
                scene.View = view_;
                scene.Ticks = ticks_;
                const int tick = TickAt(scene, width, at.x());
                if (tick >= 0) {
                    const double seconds = ticks_[static_cast<std::size_t>(tick)].Seconds;
                    if (twice && Link.ShowInEditor) Link.ShowInEditor(seconds);
                    if (!twice) player_.PlayFrom(seconds);
                    return true;
                }
            }
            if (twice) return false;
            if (selection_) {
                const std::int64_t from = XAtTime(view_, selection_->Start);
                const std::int64_t to = XAtTime(view_, selection_->End);
                if (at.x() < from || at.x() > to) ClearSelection();
            }
            // The strip holds still under the mouse until the button is let go.
            if (view_.Following)
                view_.FirstPixel = FollowFirstPixel(view_.PixelsPerSecond, Position(), Length(),
                                                    player_.Envelope.Count(), width);
            pressX_ = at.x();
            return false;  // the click seeks as it always has
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (!(mouse->buttons() & Qt::LeftButton)) return false;
            const int x = mouse->position().toPoint().x();
            if (draggingOverview_) {
                view_.FirstPixel =
                    OverviewToFirstPixel(x, width, Length(), view_.PixelsPerSecond, width);
                Draw(Position(), Length());
                return true;
            }
            if (pressX_ < 0 || std::abs(x - pressX_) < kDragPixels) return false;
            dragging_ = MakeSelection(TimeAtX(view_, pressX_), TimeAtX(view_, x), Length(),
                                      EndlessItem->isChecked());
            Draw(Position(), Length());
            return true;
        }
        case QEvent::MouseButtonRelease: {
            draggingOverview_ = false;
            pressX_ = -1;
            if (!dragging_) return false;
            const std::optional<LoopSelection> chosen = dragging_;
            dragging_.reset();
            SetSelection(chosen);
            return true;
        }
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            const int steps = wheel->angleDelta().y() / 120;
            if (steps == 0) return true;
            if (wheel->modifiers() & Qt::ControlModifier) {
                double scale = view_.PixelsPerSecond;
                for (int i = 0; i < std::abs(steps); ++i)
                    scale = steps > 0 ? ZoomInScale(scale, Length(), width)
                                      : ZoomOutScale(scale, Length(), width);
                ZoomTo(scale, static_cast<int>(wheel->position().x()));
            } else {
                ScrollView(view_, -static_cast<std::int64_t>(steps) * width / 8, Length(), width);
                Draw(Position(), Length());
            }
            return true;
        }
        default:
            return false;
    }
}
