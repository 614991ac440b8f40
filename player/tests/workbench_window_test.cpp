// The strip as a workbench inside the player window: zoom, a dragged selection looped and
// cleared, ticks clicked, the selection in the project file.
#include <gtest/gtest.h>

#include <QImage>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <memory>

#include "app/project_commands.h"
#include "audio/audio.h"
#include "player/player_controls.h"
#include "player/player_window.h"
#include "player/strip_workbench.h"
#include "player/tests/sound_files.h"
#include "player/waveform_view.h"
#include "project/project_file.h"

namespace {

class WorkbenchWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        audio::CloseDevice();
        ASSERT_TRUE(audio::OpenManualOutput(44100));
        form_ = std::make_unique<TForm1>();
        form_->Timer1->stop();
        path_ = folder_.filePath("tone.wav");
        ASSERT_TRUE(WriteSoundFile(path_.toStdString(), 44100, 1, 44100 * 30, [](long f, int) {
            return static_cast<float>(0.5 * std::sin(f * 0.05));
        }));
        form_->ListBox1->addItem(path_);
        form_->ListBox1->setCurrentRow(0);
        form_->ListBox1Click();
        form_->EnvelopeWorker->WaitIdle();
        strip_ = form_->Strip;
        box_ = form_->PaintBox1;
    }
    void TearDown() override {
        form_.reset();
        audio::CloseDevice();
    }
    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            audio::AdvanceManualOutput(8820);
            form_->Timer1Timer();
        }
    }
    double Position() const {
        return audio::BytesToSeconds(form_->Stream,
                                     audio::StreamPosition(form_->Stream, audio::POS_BYTE));
    }
    QRgb Pixel(int x, int y) const { return box_->Picture().pixel(x, y) & 0xFFFFFF; }

    QTemporaryDir folder_;
    QString path_;
    std::unique_ptr<TForm1> form_;
    StripWorkbench* strip_ = nullptr;
    WaveformView* box_ = nullptr;
};

TEST_F(WorkbenchWindowTest, ZoomedDragLoopsTheSelectionUntilItIsCleared) {
    Tick(5);
    EXPECT_FALSE(strip_->Active());
    strip_->ZoomIn();
    strip_->ZoomIn();
    EXPECT_EQ(strip_->View().PixelsPerSecond, 50);
    Tick();
    EXPECT_EQ(Pixel(200, 5), qRgb(246, 246, 246) & 0xFFFFFF);  // the ruler

    // Drag from x = 100 to x = 250: three seconds at 50 pixels a second.
    const double from = TimeAtX(strip_->View(), 100);
    QTest::mousePress(box_, Qt::LeftButton, {}, QPoint(100, 30));
    QTest::mouseMove(box_, QPoint(180, 30));
    QTest::mouseMove(box_, QPoint(250, 30));
    QTest::mouseRelease(box_, Qt::LeftButton, {}, QPoint(250, 30));
    ASSERT_TRUE(strip_->Selection());
    EXPECT_NEAR(strip_->Selection()->Start, from, 1e-9);
    EXPECT_NEAR(strip_->Selection()->End - strip_->Selection()->Start, 3.0, 1e-9);
    const LoopSelection selection = *strip_->Selection();

    // N = 2, P = 2: two playings of 15 ticks inside the selection, then a halt at its start.
    Tick();
    EXPECT_NEAR(Position(), selection.Start, 2.0 / 44100);
    int ticks = 1;
    while (!form_->Stopped && ticks < 200) {
        Tick();
        ++ticks;
        EXPECT_GE(Position(), selection.Start - 2.0 / 44100);
        EXPECT_LE(Position(), selection.End + 0.2);
    }
    EXPECT_EQ(ticks, 1 + 15 + 10 + 15 + 10);
    EXPECT_NEAR(Position(), selection.Start, 2.0 / 44100);

    // The project keeps it while it is set.
    EXPECT_EQ(project::CurrentProjectFile(*form_).selection, SelectionValueText(selection));
    strip_->ClearSelection();
    EXPECT_FALSE(strip_->Selection());
    EXPECT_TRUE(project::CurrentProjectFile(*form_).selection.isEmpty());
    // F3: the normal cycle from where the sound stands, five seconds on.
    form_->BitBtn2Click();
    Tick(25);
    EXPECT_NEAR(Position(), selection.Start + 5.0, 2.0 / 44100);
}

TEST_F(WorkbenchWindowTest, TicksPlayFromTheirMomentAndShowTheEditor) {
    std::vector<double> shown;
    strip_->Link.Ticks = [] { return std::vector<StripTick>{{2.0, qRgb(200, 0, 0)}, {4.0, 0}}; };
    strip_->Link.ShowInEditor = [&](double seconds) { shown.push_back(seconds); };
    strip_->ZoomIn();
    Tick();
    const auto x = static_cast<int>(XAtTime(strip_->View(), 2.0));
    EXPECT_EQ(Pixel(x, 40), qRgb(200, 0, 0) & 0xFFFFFF);
    QTest::mouseClick(box_, Qt::LeftButton, {}, QPoint(x + 1, 40));
    EXPECT_NEAR(Position(), 2.0, 2.0 / 44100);
    QTest::mouseDClick(box_, Qt::LeftButton, {}, QPoint(x, 40));
    EXPECT_EQ(shown, std::vector<double>{2.0});
}

TEST_F(WorkbenchWindowTest, AProjectSelectionOutsideTheRecordingIsHeldInsideItOrDropped) {
    struct Case {
        const char* line;
        bool kept;
        double start, end;
    } cases[] = {{"SELECTION=25000,99999999", true, 25, 30},
                 {"SELECTION=-4000,2000", true, 0, 2},
                 {"SELECTION=9000,3000,endless", true, 3, 9},
                 {"SELECTION=40000,50000", false, 0, 0},
                 {"SELECTION=garbage", false, 0, 0}};
    for (const Case& c : cases) {
        const project::ProjectFileRead read = project::ParseProjectFile(
            {"CURRENT=0", "POS=3", QString::fromLatin1(c.line), "FILE=" + path_});
        project::ApplyProjectFile(*form_, read);
        ASSERT_NE(form_->Stream, 0u) << c.line;
        ASSERT_EQ(strip_->Selection().has_value(), c.kept) << c.line;
        if (!c.kept) continue;
        EXPECT_DOUBLE_EQ(strip_->Selection()->Start, c.start) << c.line;
        EXPECT_DOUBLE_EQ(strip_->Selection()->End, c.end) << c.line;
    }
}

}  // namespace
