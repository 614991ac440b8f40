// The waveform strip: view start, marker and rows, clicks to seek, and the pixels that
// the drawing puts on a 649 x 68 box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "audio/audio.h"
#include "player/envelope.h"
#include "player/player_controls.h"
#include "player/player_window.h"
#include "player/tests/sound_files.h"
#include "player/waveform_geometry.h"
#include "player/waveform_view.h"

namespace {

constexpr int W = 649;
constexpr int H = 68;

TEST(WaveformGeometryTest, LongRecordingKeepsTheMarkerCentredExceptNearTheEnds) {
    const std::int32_t count = 108000;  // one hour
    const double length = 3600.0;
    auto at = [&](double seconds) { return ComputeWaveformGeometry(seconds, length, count, W); };

    EXPECT_EQ(at(0).ViewStart, 0);
    EXPECT_EQ(at(0).MarkerX, 0);
    EXPECT_EQ(at(1).MarkerX, 30);
    // Column 324 is the last one left of centre, column 325 the first centred one.
    EXPECT_EQ(at(324.0 / 30).MarkerX, 324);
    EXPECT_EQ(at(324.0 / 30).ViewStart, 0);
    EXPECT_EQ(at(326.0 / 30).MarkerX, 324);
    EXPECT_EQ(at(326.0 / 30).ViewStart, 2);
    EXPECT_EQ(at(1800).ViewStart, 54000 - 324);
    EXPECT_EQ(at(1800).MarkerX, 324);
    // Within 325 columns of the end the view stops and the marker moves right.
    EXPECT_EQ(at((count - 325) / 30.0).MarkerX, 324);
    EXPECT_EQ(at((count - 324) / 30.0).MarkerX, 325);
    EXPECT_EQ(at(3599).ViewStart, count - W);
    EXPECT_EQ(at(3599).MarkerX, 107970 - (count - W));
    EXPECT_EQ(at(3600).MarkerX, W);  // the very end lies just outside the box
}

TEST(WaveformGeometryTest, ShortRecordingIsDrawnFromTheLeft) {
    // Ten seconds: 300 columns, fewer than the box is wide.
    EXPECT_EQ(ComputeWaveformGeometry(0, 10, 300, W).MarkerX, 0);
    EXPECT_EQ(ComputeWaveformGeometry(5, 10, 300, W).ViewStart, 0);
    EXPECT_EQ(ComputeWaveformGeometry(5, 10, 300, W).MarkerX, 150);
    EXPECT_EQ(ComputeWaveformGeometry(9.99, 10, 300, W).MarkerX, 299);
    // A stream of no length never divides by zero.
    EXPECT_EQ(ComputeWaveformGeometry(3, 0, 300, W).MarkerX, 0);
}

TEST(WaveformGeometryTest, ValuesMapToRows) {
    EXPECT_EQ(EnvelopeRow(127, H), 0);
    EXPECT_EQ(EnvelopeRow(0, H), 33);
    EXPECT_EQ(EnvelopeRow(-127, H), 67);
    EXPECT_EQ(EnvelopeRow(63, H), 17);  // 64 x 68 / 256 = 17
}

TEST(WaveformGeometryTest, SamplesScaleByTruncationAndStayInRange) {
    EXPECT_EQ(ScaleSample(1.0f), 127);
    EXPECT_EQ(ScaleSample(-1.0f), -127);
    EXPECT_EQ(ScaleSample(0.5f), 63);
    EXPECT_EQ(ScaleSample(-0.5f), -63);
    EXPECT_EQ(ScaleSample(0.999f), 126);
    EXPECT_EQ(ScaleSample(1.5f), 127);
    EXPECT_EQ(ScaleSample(-40.0f), -127);
    EXPECT_EQ(ScaleSample(-INFINITY), -127);
    EXPECT_EQ(ScaleSample(NAN), 0);
}

TEST(WaveformClickTest, ClicksMoveByWholeSecondsFromTheMarker) {
    const double length = 3600;
    EXPECT_DOUBLE_EQ(ClickTargetSeconds(100.5, length, 324 + 45, 324), 101.5);
    EXPECT_DOUBLE_EQ(ClickTargetSeconds(100.5, length, 324 - 29, 324), 100.5);
    EXPECT_DOUBLE_EQ(ClickTargetSeconds(100.5, length, 324 - 60, 324), 98.5);
    EXPECT_DOUBLE_EQ(ClickTargetSeconds(100.5, length, 324 + 29, 324), 100.5);
    // Clamps: never before the start, one second before the end at most.
    EXPECT_DOUBLE_EQ(ClickTargetSeconds(1.0, length, 0, 324), 0.0);
    EXPECT_DOUBLE_EQ(ClickTargetSeconds(3599.5, length, 648, 600), 3599.0);
    EXPECT_DOUBLE_EQ(ClickTargetSeconds(3598.0, length, 630, 600), 3599.0);
    // Shorter than a second: the end clamp would be negative, the start it is.
    EXPECT_DOUBLE_EQ(ClickTargetSeconds(0.2, 0.5, 100, 6), 0.0);
}

// ---- drawing ----

// Fills a state with given columns without any sound file.
class FakeEnvelope {
  public:
    explicit FakeEnvelope(const std::vector<std::pair<int, int>>& columns) {
        state.Publish(static_cast<std::int32_t>(columns.size()));
        for (std::size_t c = 0; c < columns.size(); ++c)
            state.Widen(static_cast<std::int32_t>(c), static_cast<std::int8_t>(columns[c].first),
                        static_cast<std::int8_t>(columns[c].second));
    }
    EnvelopeState state;
};

QRgb Pixel(const WaveformView& view, int x, int y) {
    return view.Picture().pixel(x, y) & 0xFFFFFF;
}
constexpr QRgb kWhite = 0xFFFFFF;
constexpr QRgb kGrey = 0x444444;
constexpr QRgb kGreen = 0x00AA00;
constexpr QRgb kRed = 0xFF0000;

class WaveformDrawTest : public ::testing::Test {
  protected:
    void SetUp() override {
        view_.resize(W, H);
        view_.ClearView();
    }
    WaveformView view_;
};

TEST_F(WaveformDrawTest, ClearedStripIsAWhiteBoxWithAGreyFrame) {
    ASSERT_EQ(view_.Picture().size(), QSize(W, H));
    for (int x = 0; x < W; ++x) {
        EXPECT_EQ(Pixel(view_, x, 0), kGrey);
        EXPECT_EQ(Pixel(view_, x, H - 1), kGrey);
    }
    for (int y = 0; y < H; ++y) {
        EXPECT_EQ(Pixel(view_, 0, y), kGrey);
        EXPECT_EQ(Pixel(view_, W - 1, y), kGrey);
    }
    for (int y = 1; y < H - 1; ++y)
        for (int x = 1; x < W - 1; ++x) ASSERT_EQ(Pixel(view_, x, y), kWhite) << x << "," << y;

    // No envelope: nothing drawn, not even the marker.
    EnvelopeState none;
    view_.DrawEnvelope(none, 5, 10);
    EXPECT_EQ(Pixel(view_, 150, 30), kWhite);
}

TEST_F(WaveformDrawTest, ColumnsAndMarkerOfAShortRecording) {
    // 300 columns: full scale, then half scale, then silence, 100 each.
    std::vector<std::pair<int, int>> columns;
    for (int c = 0; c < 100; ++c) columns.push_back({-127, 127});
    for (int c = 0; c < 100; ++c) columns.push_back({-63, 63});
    for (int c = 0; c < 100; ++c) columns.push_back({0, 0});
    FakeEnvelope envelope(columns);
    view_.DrawEnvelope(envelope.state, 5.0, 10.0);  // column 150: marker at x = 150

    // Full scale covers rows 0 ... H - 2; the bottom row stays the frame.
    for (int y = 0; y <= H - 2; ++y) EXPECT_EQ(Pixel(view_, 50, y), kGreen) << y;
    EXPECT_EQ(Pixel(view_, 50, H - 1), kGrey);
    // Half scale: rows (127 - 63) x 68 / 256 = 17 down to (127 + 63) x 68 / 256 = 50, end excluded.
    EXPECT_EQ(Pixel(view_, 120, 16), kWhite);
    EXPECT_EQ(Pixel(view_, 120, 17), kGreen);
    EXPECT_EQ(Pixel(view_, 120, 49), kGreen);
    EXPECT_EQ(Pixel(view_, 120, 50), kWhite);
    // Silence draws nothing.
    for (int y = 1; y < H - 1; ++y) EXPECT_EQ(Pixel(view_, 250, y), kWhite) << y;
    // Beyond the last column the strip stays white.
    for (int y = 1; y < H - 1; ++y) EXPECT_EQ(Pixel(view_, 400, y), kWhite);
    // The marker: rows 1 ... H - 2.
    EXPECT_EQ(Pixel(view_, 150, 0), kGrey);
    for (int y = 1; y < H - 1; ++y) EXPECT_EQ(Pixel(view_, 150, y), kRed) << y;
    EXPECT_EQ(Pixel(view_, 150, H - 1), kGrey);
    // Column x shows envelope column x (view start 0): column 0 sits under the frame.
    EXPECT_EQ(Pixel(view_, 0, 10), kGrey);
    EXPECT_EQ(Pixel(view_, 99, 10), kGreen);
    EXPECT_EQ(Pixel(view_, 100, 20), kGreen);
    EXPECT_EQ(Pixel(view_, 100, 10), kWhite);
}

TEST_F(WaveformDrawTest, LongRecordingScrollsUnderACentredMarker) {
    // Column c has maximum c % 128: the drawn column at x reveals which column it shows.
    const int count = 3000;
    std::vector<std::pair<int, int>> columns;
    for (int c = 0; c < count; ++c) columns.push_back({0, c % 128});
    FakeEnvelope envelope(columns);
    const double length = count / 30.0;
    view_.DrawEnvelope(envelope.state, 1500 / 30.0 + 0.001, length);  // column 1500
    const int viewStart = 1500 - 324;
    for (int x : {1, 100, 323, 325, 647}) {
        const int value = (viewStart + x) % 128;
        const int top = (127 - value) * H / 256;
        if (top >= 33) continue;  // value 0 draws nothing
        EXPECT_EQ(Pixel(view_, x, top), kGreen) << x;
        if (top > 0) {
            EXPECT_EQ(Pixel(view_, x, top - 1), kWhite) << x;
        }
    }
    for (int y = 1; y < H - 1; ++y) EXPECT_EQ(Pixel(view_, 324, y), kRed);
}

// ---- the strip inside the player window ----

class PlayerStripTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        audio::CloseDevice();
        ASSERT_TRUE(audio::OpenManualOutput(44100));
        form_ = std::make_unique<TForm1>();
        form_->Timer1->stop();
    }
    void TearDown() override {
        form_.reset();
        audio::CloseDevice();
    }
    void Tick() {
        audio::AdvanceManualOutput(8820);
        form_->Timer1Timer();
    }
    double Position() const {
        return audio::BytesToSeconds(form_->Stream,
                                     audio::StreamPosition(form_->Stream, audio::POS_BYTE));
    }
    void ClickStrip(int x) {
        QTest::mouseClick(form_->findChild<WaveformView*>("PaintBox1"), Qt::LeftButton, {},
                          QPoint(x, 30));
    }

    QTemporaryDir folder_;
    std::unique_ptr<TForm1> form_;
};

TEST_F(PlayerStripTest, EmptyStripIgnoresClicks) {
    ClickStrip(400);
    Tick();
    const QImage& picture = form_->PaintBox1->Picture();
    EXPECT_EQ(picture.pixel(300, 30) & 0xFFFFFF, kWhite);
    EXPECT_EQ(picture.pixel(0, 30) & 0xFFFFFF, kGrey);
    EXPECT_EQ(form_->Stream, 0u);
}

TEST_F(PlayerStripTest, StripShowsTheRecordingAndClicksSeekByWholeSeconds) {
    // 20 s of a full-scale square wave: 600 columns that fill the strip from the top row.
    const QString path = folder_.filePath("square.wav");
    ASSERT_TRUE(WriteSoundFile(path.toStdString(), 44100, 2, 44100 * 20,
                               [](long f, int) { return (f / 100) % 2 ? 1.0f : -1.0f; }));
    form_->ListBox1->addItem(path);
    form_->ListBox1->setCurrentRow(0);
    form_->ListBox1Click();
    form_->EnvelopeWorker->WaitIdle();
    ASSERT_EQ(form_->Envelope.Count(), 600);

    Tick();  // position 0.2 s: column trunc(0.2 x 30) = 6, drawn from the left
    EXPECT_NEAR(Position(), 0.2, 1e-6);
    const QImage& picture = form_->PaintBox1->Picture();
    EXPECT_EQ(picture.pixel(6, 20) & 0xFFFFFF, kRed);
    EXPECT_EQ(picture.pixel(100, 0) & 0xFFFFFF, kGreen);
    EXPECT_EQ(picture.pixel(100, H - 2) & 0xFFFFFF, kGreen);

    ClickStrip(6 + 300);  // ten seconds on
    EXPECT_NEAR(Position(), 10.2, 1e-4);
    EXPECT_FALSE(form_->Stopped);

    // Paused, a click seeks and resumes playback.
    form_->BitBtn3Click();
    ASSERT_TRUE(form_->Stopped);
    Tick();  // column 306: the marker stays at x = 306 (fewer than 325 columns from the start)
    EXPECT_EQ(form_->PaintBox1->Picture().pixel(306, 20) & 0xFFFFFF, kRed);
    ClickStrip(306 - 60);
    EXPECT_NEAR(Position(), 8.2, 1e-4);
    EXPECT_FALSE(form_->Stopped);
    EXPECT_EQ(audio::StreamActivity(form_->Stream), audio::ACTIVE_PLAYING);

    // Past the end: one second before it. Column 246 is at x = 246.
    ClickStrip(648);
    EXPECT_NEAR(Position(), 19.0, 1e-4);
    // Before the start: the start. Column 570: the view ends with the recording, so the
    // marker stands at x = 570 - (600 - 649 -> 0) = 570.
    ClickStrip(0);
    EXPECT_NEAR(Position(), 0.0, 1e-4);
}

}  // namespace

// Threads that Qt starts for itself (the file dialog's directory watcher) synchronise
// inside Qt's libraries, which the thread checker does not see; their allocations are
// not this program's to check. Read only under ThreadSanitizer.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n";
}

int main(int argc, char** argv) {
    // Playback in these tests renders only when a test advances it.
    audio::OpenManualOutput(44100);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    audio::CloseDevice();
    return result;
}
