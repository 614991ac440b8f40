#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <utility>

#include "player/cycle.h"
#include "player/sound_notice.h"
#include "player/tests/player_fixture.h"
#include "player/tests/sound_files.h"

// Expected positions below follow from the order of a tick: the output renders 200 ms,
// then the cycle step acts on the position reached. A seek truncates to whole bytes, so
// a position reached by a jump may lie up to two frames early.
constexpr double kSeekTolerance = 2.0 / 44100;

TEST_F(PlayerTest, FragmentIsHeardTwiceWithPausesThenTheNextOneOverlaps) {
    Add({Tone("a.wav", 20.0)});
    Open(0);
    ASSERT_NE(form->Stream, 0u);
    EXPECT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_PLAYING);
    EXPECT_NEAR(Position(), 0.0, 1e-9);

    Tick(10);  // clock 1.8 s at the tenth step
    EXPECT_NEAR(Position(), 2.0, 1e-9);
    EXPECT_EQ(Panel(1), "Файл: 1 из 1");
    EXPECT_EQ(Panel(2), "Длина: 20 сек");
    EXPECT_EQ(Panel(3), "Позиция: 2 сек");
    EXPECT_EQ(Panel(4), "Повтор: 1");
    EXPECT_EQ(Panel(5), "Воспр: 1 сек");
    EXPECT_EQ(Panel(6), "");
    EXPECT_EQ(form->TrackBar1->value(), 100);

    Tick(15);  // step 25: last step of the first playing
    EXPECT_NEAR(Position(), 5.0, 1e-9);
    EXPECT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_PLAYING);
    Tick();  // step 26: the pause begins
    EXPECT_NEAR(Position(), 5.2, 1e-9);
    EXPECT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_PAUSED);
    Tick(4);  // step 30
    EXPECT_EQ(Panel(5), "Пауза: 0 сек");
    Tick(5);  // step 35: still silent
    EXPECT_NEAR(Position(), 5.2, 1e-9);
    EXPECT_EQ(Panel(5), "Пауза: 1 сек");
    Tick();  // step 36: back by L = 5 s and play again
    EXPECT_NEAR(Position(), 0.2, 1e-9);
    EXPECT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_PLAYING);
    EXPECT_EQ(Panel(4), "Повтор: 2");
    Tick(25);  // step 61
    EXPECT_NEAR(Position(), 5.2, 1e-9);
    Tick();  // step 62: second pause
    EXPECT_NEAR(Position(), 5.4, 1e-9);
    EXPECT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_PAUSED);
    Tick(9);  // step 71
    EXPECT_NEAR(Position(), 5.4, 1e-9);
    Tick();  // step 72: the next fragment starts S = 1 s before the end of this one
    EXPECT_NEAR(Position(), 4.4, 1e-9);
    EXPECT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_PLAYING);
    Tick();  // step 73
    EXPECT_NEAR(Position(), 4.6, 1e-9);
    EXPECT_EQ(Panel(4), "Повтор: 1");
    EXPECT_EQ(Panel(5), "Воспр: 0 сек");
    EXPECT_FALSE(form->Stopped);
}

TEST_F(PlayerTest, WithoutShiftBackTheFragmentsDoNotOverlap) {
    form->Edit4->setText("0");
    Add({Tone("a.wav", 20.0)});
    Open(0);
    Tick(71);
    EXPECT_NEAR(Position(), 5.4, 1e-9);
    Tick();  // step 72: no jump, play on
    EXPECT_NEAR(Position(), 5.4, 1e-9);
    EXPECT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_PLAYING);
    Tick();
    EXPECT_NEAR(Position(), 5.6, 1e-9);
}

TEST_F(PlayerTest, OneRepetitionWithoutPauseJumpsBackAfterEveryPiece) {
    form->Edit2->setText("1");
    form->Edit3->setText("0");
    Add({Tone("a.wav", 20.0)});
    Open(0);
    // Each cycle: 26 ticks of 0.2 s heard, then back by 1 s.
    const double expected[] = {4.2, 8.4, 12.6};
    for (double position : expected) {
        for (int i = 0; i < 26; ++i) {
            Tick();
            EXPECT_NE(audio::StreamActivity(form->Stream), audio::ACTIVE_PAUSED);
        }
        EXPECT_NEAR(Position(), position, 1e-9);
    }
}

TEST_F(PlayerTest, ShiftBackLongerThanTheFragmentWalksBackToTheStartAndStaysThere) {
    form->Edit1->setText("1");
    form->Edit2->setText("1");
    form->Edit3->setText("0");
    form->Edit4->setText("3");
    Add({Tone("a.wav", 20.0)});
    Open(0);
    form->TrackBar1->setValue(500);  // to 10 s; restarts the cycle
    EXPECT_NEAR(Position(), 10.0, 1e-9);
    // Each cycle plays 1.2 s and jumps back 3 s, never before 0.
    const double expected[] = {8.2, 6.4, 4.6, 2.8, 1.0, 0.0, 0.0, 0.0};
    for (double position : expected) {
        Tick(6);
        EXPECT_NEAR(Position(), position, kSeekTolerance);
        EXPECT_EQ(form->Cycle.Phase, CyclePhase::CycleDone);
    }
}

TEST_F(PlayerTest, TextThatIsNotANumberCountsAsTheDefaultAndIsLeftAlone) {
    form->Edit1->setText("");
    form->Edit2->setText("-");
    Add({Tone("a.wav", 20.0)});
    Open(0);
    Tick(26);  // L = 5 as by default: the pause begins at step 26
    EXPECT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_PAUSED);
    EXPECT_NEAR(Position(), 5.2, 1e-9);
    Tick(10);  // N = 2: the second playing jumps back by the default length
    EXPECT_NEAR(Position(), 0.2, 1e-9);
    EXPECT_EQ(form->Edit1->text(), "");
    EXPECT_EQ(form->Edit2->text(), "-");
    EXPECT_FALSE(form->TickBusy);
}

TEST_F(PlayerTest, EndOfAFileOpensTheNextEntryAndTheLastOneHalts) {
    Add({Tone("a.wav", 1.0), Tone("b.wav", 1.0), Tone("c.wav", 1.0)});
    Open(0);
    form->ListBox1->item(2)->setSelected(true);  // a second selected item
    const audio::HSTREAM first = form->Stream;
    int ticks = 0;
    while (form->ListBox1->currentRow() == 0 && ticks < 20) {
        Tick();
        ++ticks;
    }
    ASSERT_EQ(form->ListBox1->currentRow(), 1);
    EXPECT_LE(ticks, 6);
    ASSERT_EQ(form->ListBox1->selectedItems().size(), 1);
    EXPECT_EQ(form->ListBox1->selectedItems().first(), form->ListBox1->item(1));
    EXPECT_NE(form->Stream, first);
    EXPECT_EQ(form->EnvelopeFile, folder.filePath("b.wav"));
    EXPECT_NEAR(Position(), 0.0, 1e-9);
    EXPECT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_PLAYING);
    EXPECT_GT(form->Cycle.Clock, 0.0);  // the cycle goes on counting
    EXPECT_EQ(Panel(1), "Файл: 2 из 3");

    ticks = 0;
    while (!form->Stopped && ticks < 40) {
        Tick();
        ++ticks;
    }
    ASSERT_TRUE(form->Stopped);
    EXPECT_EQ(form->ListBox1->currentRow(), 2);
    EXPECT_NE(form->Stream, 0u);
    EXPECT_NEAR(Position(), 1.0, 1e-9);  // stays at the end
    Tick(5);
    EXPECT_EQ(form->ListBox1->currentRow(), 2);
    EXPECT_NEAR(Position(), 1.0, 1e-9);
    EXPECT_EQ(Panel(4), "");
    EXPECT_EQ(Panel(5), "");
    EXPECT_EQ(form->TrackBar1->value(), 1000);
}

TEST_F(PlayerTest, BackAndNextClampAndRestartTheCycle) {
    Add({Tone("a.wav", 20.0)});
    Open(0);
    Tick(10);
    form->BitBtn1Click();  // 2 s - 5 s: the start, never before it
    EXPECT_NEAR(Position(), 0.0, 1e-9);
    EXPECT_EQ(form->Cycle.Phase, CyclePhase::Reset);
    EXPECT_EQ(form->Cycle.Clock, 0.0);
    EXPECT_FALSE(form->Stopped);
    Tick();
    EXPECT_EQ(form->Cycle.Repetition, 1);
    EXPECT_EQ(form->Cycle.PlaySecond, 0);

    form->TrackBar1->setValue(500);
    EXPECT_NEAR(Position(), 10.0, 1e-9);
    form->BitBtn1Click();
    EXPECT_NEAR(Position(), 5.0, 1e-9);
    form->BitBtn3Click();  // F4, then F5 still moves on and clears the halt
    ASSERT_TRUE(form->Stopped);
    form->BitBtn4Click();
    EXPECT_NEAR(Position(), 10.0, 1e-9);
    EXPECT_FALSE(form->Stopped);
    EXPECT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_PLAYING);
    form->BitBtn4Click();
    form->BitBtn4Click();  // 15 s + 5 s reaches the end: half a second before it
    EXPECT_NEAR(Position(), 19.5, 1e-9);
    EXPECT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_PLAYING);
    EXPECT_EQ(form->Cycle.Phase, CyclePhase::Reset);
    Tick(4);  // runs out; the only file was the last one
    EXPECT_TRUE(form->Stopped);
}

TEST_F(PlayerTest, NextOnARecordingShorterThanHalfASecondGoesToItsStart) {
    Add({Tone("short.wav", 0.3)});
    Open(0);
    audio::AdvanceManualOutput(4410);
    form->BitBtn4Click();
    EXPECT_NEAR(Position(), 0.0, 1e-9);
}

TEST_F(PlayerTest, PlayAfterPauseResumesTheSameRepetitionAndSecond) {
    Add({Tone("a.wav", 20.0)});
    Open(0);
    Tick(45);
    const TRepetitionCycle halted = form->Cycle;
    const double position = Position();
    form->BitBtn3Click();  // F4
    EXPECT_TRUE(form->Stopped);
    EXPECT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_STOPPED);
    Tick(10);
    EXPECT_NEAR(Position(), position, 1e-9);
    EXPECT_EQ(form->Cycle.Clock, halted.Clock);
    EXPECT_EQ(Panel(4), "");
    EXPECT_EQ(Panel(5), "");
    EXPECT_EQ(Panel(3), "Позиция: 2 сек");  // 0.2 s after the jump of step 36, plus 9 steps

    form->BitBtn2Click();  // F3
    EXPECT_FALSE(form->Stopped);
    Tick();
    TRepetitionCycle reference;
    for (int i = 0; i < 46; ++i) AdvanceCycle(reference, kCycleStep, 5, 2, 2);
    EXPECT_EQ(form->Cycle.Repetition, reference.Repetition);
    EXPECT_EQ(form->Cycle.PlaySecond, reference.PlaySecond);
    EXPECT_EQ(form->Cycle.Clock, reference.Clock);
    EXPECT_NEAR(Position(), position + 0.2, 1e-9);
}

TEST_F(PlayerTest, CycleWaitsWhileTheSoundStandsStillAndResumesWhereItWasHeard) {
    Add({Tone("a.wav", 20.0)});
    Open(0);
    Tick(20);
    const TRepetitionCycle before = form->Cycle;
    const double heard = Position();
    // A minute of ticks in which the output takes no sound (a lost card halts the stream).
    for (int i = 0; i < 300; ++i) form->Timer1Timer();
    EXPECT_EQ(form->Cycle.Clock, before.Clock);
    EXPECT_EQ(Position(), heard);
    EXPECT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_PLAYING);
    // Sound again: the cycle goes on from the same step as if nothing had happened.
    Tick(16);
    TRepetitionCycle reference;
    for (int i = 0; i < 36; ++i) AdvanceCycle(reference, kCycleStep, 5, 2, 2);
    EXPECT_EQ(form->Cycle.Phase, CyclePhase::Repeat);
    EXPECT_EQ(form->Cycle.Clock, reference.Clock);
}

TEST_F(PlayerTest, SliderAfterPausePlaysStraightOnWithoutRepetitions) {
    Add({Tone("a.wav", 20.0), Tone("b.wav", 5.0)});
    Open(0);
    Tick(3);
    form->BitBtn3Click();
    form->TrackBar1->setValue(500);
    EXPECT_NEAR(Position(), 10.0, 1e-9);
    EXPECT_TRUE(form->Stopped);
    EXPECT_EQ(form->Cycle.Phase, CyclePhase::Reset);
    EXPECT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_PLAYING);
    Tick(40);  // 8 s, no pause and no jump
    EXPECT_NEAR(Position(), 18.0, 1e-9);
    EXPECT_EQ(form->TrackBar1->value(), 900);
    const audio::HSTREAM stream = form->Stream;
    Tick(15);  // past the end: the halted engine does not move on
    EXPECT_EQ(form->ListBox1->currentRow(), 0);
    EXPECT_EQ(form->Stream, stream);
    EXPECT_NEAR(Position(), 20.0, 1e-9);
}

TEST_F(PlayerTest, MissingFileKeepsTheOldStreamAndHalts) {
    const QString a = Tone("a.wav", 5.0);
    const QString b = Tone("b.wav", 5.0);
    Add({a, b});
    Open(0);
    Tick(3);
    const audio::HSTREAM stream = form->Stream;
    ASSERT_TRUE(QFile::remove(b));
    Open(1);
    EXPECT_EQ(messages, QStringList{"Файл не найден!"});
    EXPECT_TRUE(form->Stopped);
    EXPECT_EQ(form->Stream, stream);
    EXPECT_EQ(audio::StreamLength(stream, audio::POS_BYTE), 5u * 44100 * 2);
    EXPECT_EQ(form->EnvelopeFile, a);
}

// The tick reaches a missing recording while the typist types elsewhere: no box takes the
// keyboard; the player's label and the editor (through Elsewhere) say it, and the engine halts.
TEST_F(PlayerTest, MissingNextFileReachedByTheTickIsSaidWithoutABoxAndHalts) {
    const QString a = Tone("a.wav", 1.0);
    const QString b = Tone("b.wav", 1.0);
    Add({a, b});
    Open(0);
    ASSERT_TRUE(QFile::remove(b));
    QStringList elsewhere;
    form->Notices->Elsewhere = [&](const QString& text) {
        elsewhere << text;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    };
    for (int i = 0; i < 10 && elsewhere.isEmpty(); ++i) Tick();
    ASSERT_EQ(elsewhere, QStringList{"Файл не найден!"});
    EXPECT_TRUE(messages.isEmpty());  // no box
    QLabel* label = form->Notices->Label();
    EXPECT_TRUE(label->isVisibleTo(form.get()));
    EXPECT_EQ(label->toolTip(), "Файл не найден!");
    EXPECT_FALSE(form->TickBusy);
    EXPECT_TRUE(form->Stopped);
    Tick();  // ticks work again, and say nothing more
    EXPECT_EQ(elsewhere.size(), 1);
    // The user's own click on the entry still answers with the box, and a recording that
    // opens takes the label away.
    Open(1);
    EXPECT_EQ(messages, QStringList{"Файл не найден!"});
    Open(0);
    EXPECT_FALSE(label->isVisibleTo(form.get()));
}

TEST_F(PlayerTest, PlaylistCommandsStopPlayback) {
    const QString a = Tone("a.wav", 5.0);
    const QString b = Tone("b.wav", 5.0);
    Add({a, a, b});  // the same path twice gives two items
    ASSERT_EQ(form->ListBox1->count(), 3);
    EXPECT_EQ(form->ListBox1->item(0)->text(), a);
    EXPECT_EQ(form->ListBox1->item(1)->text(), a);
    EXPECT_EQ(form->ListBox1->item(2)->text(), b);
    EXPECT_EQ(Panel(1), "Файл: 0 из 3");
    EXPECT_EQ(form->Stream, 0u);
    EXPECT_TRUE(form->Stopped);

    Open(0);
    Tick(2);
    EXPECT_EQ(Panel(1), "Файл: 1 из 3");
    Add({});  // cancelled: nothing changes, playback goes on
    EXPECT_EQ(form->ListBox1->count(), 3);
    EXPECT_NE(form->Stream, 0u);
    EXPECT_FALSE(form->Stopped);

    Add({b});
    EXPECT_EQ(form->ListBox1->count(), 4);
    EXPECT_EQ(form->Stream, 0u);
    EXPECT_TRUE(form->Stopped);
    Tick();  // nothing to play: the tick leaves the status alone
    EXPECT_EQ(Panel(1), "Файл: 1 из 4");

    Open(1);
    form->ListBox1->clearSelection();
    form->N11Click();  // nothing selected: the list stays, playback stops
    EXPECT_EQ(form->ListBox1->count(), 4);
    EXPECT_EQ(form->Stream, 0u);

    Open(0);
    form->ListBox1->clearSelection();
    form->ListBox1->item(1)->setSelected(true);  // of a, a, b, b: the second a and b
    form->ListBox1->item(3)->setSelected(true);
    form->N11Click();
    ASSERT_EQ(form->ListBox1->count(), 2);
    EXPECT_EQ(form->ListBox1->item(0)->text(), a);
    EXPECT_EQ(form->ListBox1->item(1)->text(), b);
    EXPECT_EQ(form->Stream, 0u);
    EXPECT_TRUE(form->Stopped);

    Open(1);
    form->N9Click();
    EXPECT_EQ(form->ListBox1->count(), 0);
    EXPECT_EQ(form->Stream, 0u);
    EXPECT_EQ(Panel(1), "Файл: 0 из 0");
    // Without a stream back, next and the slider do nothing; play and pause only flip the flag.
    form->BitBtn1Click();
    form->BitBtn4Click();
    form->TrackBar1->setValue(300);
    form->BitBtn2Click();
    EXPECT_FALSE(form->Stopped);
    form->BitBtn3Click();
    EXPECT_TRUE(form->Stopped);
    EXPECT_EQ(form->Stream, 0u);
}

TEST_F(PlayerTest, FileThatCannotBeDecodedIsNamedAndItsPanelsCleared) {
    const QString good = Tone("a.wav", 1.0);
    const QString empty = folder.filePath("пустой.wav");
    const QString bad = folder.filePath("bad.wav");
    for (const auto& [path, bytes] :
         {std::pair{empty, QByteArray()}, std::pair{bad, QByteArray("RIFF this is not a sound")}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    const auto cannotPlay = [](const QString& path) {
        return QStringLiteral("Файл не удаётся воспроизвести: ") + QDir::toNativeSeparators(path);
    };
    Add({good, empty, bad});
    Open(0);
    Tick(2);
    ASSERT_EQ(Panel(2), "Длина: 1 сек");

    // Clicked: named, and nothing of the previous recording stays on the status bar.
    Open(2);
    EXPECT_EQ(messages, QStringList{cannotPlay(bad)});
    EXPECT_EQ(form->Stream, 0u);
    EXPECT_EQ(Panel(1), "Файл: 3 из 3");
    for (int panel = 2; panel <= 5; ++panel) EXPECT_EQ(Panel(panel), QString()) << panel;
    Tick(3);
    EXPECT_EQ(Panel(2), QString());
    EXPECT_FALSE(form->TickBusy);

    // Reached by the tick after the previous recording ends: the same, never "-1 сек",
    // said in the player's label rather than a box.
    messages.clear();
    Open(0);
    QLabel* label = form->Notices->Label();
    for (int i = 0; i < 20 && !label->isVisibleTo(form.get()); ++i) Tick();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(label->toolTip(), cannotPlay(empty));
    EXPECT_EQ(Panel(1), "Файл: 2 из 3");
    for (int panel = 2; panel <= 5; ++panel) EXPECT_EQ(Panel(panel), QString()) << panel;
    EXPECT_EQ(form->Stream, 0u);
    EXPECT_FALSE(form->TickBusy);
}

TEST_F(PlayerTest, PathsWithLineBreaksAreRefusedWhenAdded) {
    const QString good = Tone("a.wav", 1.0);
    const QString broken = folder.filePath("two\nlines.wav");
    Add({good, broken, folder.filePath("cr\rhere.wav")});
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("перевод строки")))
        << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(folder.filePath("two⏎lines.wav")));
    ASSERT_EQ(form->ListBox1->count(), 1);
    EXPECT_EQ(form->ListBox1->item(0)->text(), good);

    // Only refused paths: the list and the playback stay as they were.
    Open(0);
    Add({broken});
    EXPECT_EQ(form->ListBox1->count(), 1);
    EXPECT_NE(form->Stream, 0u);
}

TEST_F(PlayerTest, RecordingOfAlmostAMinuteShowsTruncatedSecondsAndFullSliderOnlyAtTheEnd) {
    Add({Tone("a.wav", 59.9)});
    Open(0);
    Tick();
    EXPECT_EQ(Panel(2), "Длина: 59 сек");
    form->BitBtn3Click();
    form->TrackBar1->setValue(990);  // 59.3 s, then 0.2 s more: not yet the end
    Tick();
    EXPECT_GE(form->TrackBar1->value(), 990);
    EXPECT_LT(form->TrackBar1->value(), 1000);
    Tick(5);  // plays out to the end
    EXPECT_EQ(form->TrackBar1->value(), 1000);
}

TEST_F(PlayerTest, EqualizerAndVolume) {
    Add({Tone("a.wav", 20.0)});
    Open(0);
    form->BitBtn3Click();  // F4
    ASSERT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_STOPPED);
    form->TrackBar5->setValue(20);  // a band moved while halted makes it sound
    EXPECT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_PLAYING);
    EXPECT_TRUE(form->Stopped);

    form->N22Click();
    for (int band = 0; band < TForm1::kBands; ++band)
        EXPECT_EQ(form->BandSlider(band)->value(), 15);
    EXPECT_EQ(form->EqCentres[0], 80);
    EXPECT_EQ(form->EqCentres[11], 16000);

    std::vector<float> mix;
    form->TrackBar2->setValue(10);  // bottom: silence
    audio::AdvanceManualOutput(4410, &mix);
    ASSERT_FALSE(mix.empty());
    float loudest = 0.0f;
    for (float v : mix) loudest = std::max(loudest, std::abs(v));
    EXPECT_EQ(loudest, 0.0f);

    mix.clear();
    form->TrackBar2->setValue(0);  // top: full volume
    audio::AdvanceManualOutput(4410, &mix);
    loudest = 0.0f;
    for (float v : mix) loudest = std::max(loudest, std::abs(v));
    EXPECT_NEAR(loudest, 0.5f, 0.05f);

    // All flat again with the sliders already flat: still one stop and play.
    form->BitBtn3Click();
    form->N22Click();
    EXPECT_EQ(audio::StreamActivity(form->Stream), audio::ACTIVE_PLAYING);
}

// Level of a stretch of the mix in dB against a sine of `amplitude`.
double LevelDb(const std::vector<float>& mix, std::size_t from, double amplitude) {
    double sum = 0.0;
    for (std::size_t i = from; i < mix.size(); ++i) sum += double(mix[i]) * mix[i];
    const double rms = std::sqrt(sum / static_cast<double>(mix.size() - from));
    return 20.0 * std::log10(rms / (amplitude / std::sqrt(2.0)));
}

TEST_F(PlayerTest, EqualizerBandsAsWiredShapeATone) {
    // A 1 kHz tone quiet enough that +15 dB does not clip.
    const double amplitude = 0.05;
    const QString path = folder.filePath("1khz.wav");
    ASSERT_TRUE(WriteSoundFile(
        QFile::encodeName(path).toStdString(), 44100, 1, 44100 * 5, [&](long frame, int) {
            return static_cast<float>(amplitude * std::sin(2 * M_PI * 1000.0 * frame / 44100));
        }));
    QSlider* band1000 = form->BandSlider(5);
    QSlider* band750 = form->BandSlider(4);
    ASSERT_EQ(form->EqCentres[5], 1000);
    ASSERT_EQ(form->EqCentres[4], 750);
    EXPECT_EQ(band1000->toolTip(), QStringLiteral("1000 Гц: 0 дБ"));

    // Set before the file is opened: heard from the first block on.
    band1000->setValue(0);
    EXPECT_EQ(band1000->toolTip(), QStringLiteral("1000 Гц: +15 дБ"));
    Add({path});
    Open(0);
    std::vector<float> mix;
    audio::AdvanceManualOutput(1024, &mix);
    ASSERT_EQ(mix.size(), 2048u);
    EXPECT_NEAR(LevelDb(mix, 1024, amplitude), 15.0, 1.5);

    const auto settledLevel = [&] {
        audio::AdvanceManualOutput(8820);  // the gain glides to its new value
        mix.clear();
        audio::AdvanceManualOutput(4410, &mix);
        return LevelDb(mix, 0, amplitude);
    };
    band1000->setValue(30);
    EXPECT_EQ(band1000->toolTip(), QStringLiteral("1000 Гц: -15 дБ"));
    EXPECT_NEAR(settledLevel(), -15.0, 1.5);

    band1000->setValue(15);
    EXPECT_NEAR(settledLevel(), 0.0, 0.5);
    band750->setValue(0);  // a neighbouring band reaches the tone only with its skirt
    const double fromNeighbour = settledLevel();
    EXPECT_GT(fromNeighbour, 0.5);
    EXPECT_LT(fromNeighbour, 10.0);

    form->N22Click();  // "Значения по умолчанию"
    EXPECT_NEAR(settledLevel(), 0.0, 0.5);
    EXPECT_EQ(band750->toolTip(), QStringLiteral("750 Гц: 0 дБ"));
}

TEST_F(PlayerTest, VerticalSlidersFillFromTheBottomUpToTheHandle) {
    // Kept for the whole run: a widget may still refer to its style while it is destroyed.
    static QStyle* const fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    ASSERT_NE(fusion, nullptr);
    QSlider* volume = form->TrackBar2;
    volume->setStyle(fusion);
    const QColor highlight = volume->palette().color(QPalette::Highlight);
    // Distance of the groove's middle from the highlight colour at a given position.
    const auto middleDistance = [&](int value) {
        volume->setValue(value);
        const QImage image = volume->grab().toImage();
        const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
        return std::abs(c.red() - highlight.red()) + std::abs(c.green() - highlight.green()) +
               std::abs(c.blue() - highlight.blue());
    };
    // Full volume (the handle at the top) is filled below the handle; silence is not.
    const int full = middleDistance(0);
    const int silent = middleDistance(10);
    EXPECT_LT(full, silent);
    EXPECT_LT(full, 120);
    volume->setStyle(nullptr);
}

TEST_F(PlayerTest, ClickAndArrowKeyOnThePlaylistOpenTheItem) {
    const QString a = Tone("a.wav", 5.0);
    const QString b = Tone("b.wav", 5.0);
    Add({a, b});
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QRect second = form->ListBox1->visualItemRect(form->ListBox1->item(1));
    QTest::mouseClick(form->ListBox1->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(form->ListBox1->currentRow(), 1);
    EXPECT_NE(form->Stream, 0u);
    EXPECT_EQ(form->EnvelopeFile, b);
    QTest::keyClick(form->ListBox1, Qt::Key_Up);
    EXPECT_EQ(form->ListBox1->currentRow(), 0);
    EXPECT_EQ(form->EnvelopeFile, a);
    EXPECT_FALSE(form->Stopped);
}

TEST_F(PlayerTest, FieldsAreNormalisedWhenTheyLoseTheFocus) {
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    struct Case {
        QLineEdit* edit;
        const char* typed;
        const char* normalised;
    };
    const Case cases[] = {{form->Edit1, "abc", "5"}, {form->Edit2, "40", "10"},
                          {form->Edit3, "-1", "0"},  {form->Edit4, "", "1"},
                          {form->Edit1, "0", "1"},   {form->Edit3, " 4", "4"}};
    for (const Case& c : cases) {
        c.edit->setFocus();
        c.edit->setText(QString::fromUtf8(c.typed));
        form->ListBox1->setFocus();
        EXPECT_EQ(c.edit->text(), QString::fromUtf8(c.normalised)) << c.typed;
    }
    // The spinner and the arrow keys step within the range.
    form->Edit2->setText("10");
    form->UpDown2->Step(1);
    EXPECT_EQ(form->Edit2->text(), "10");
    form->Edit3->setText("x");
    form->UpDown3->Step(-1);
    EXPECT_EQ(form->Edit3->text(), "1");
    form->Edit4->setFocus();
    form->Edit4->setText("0");
    QTest::keyClick(form->Edit4, Qt::Key_Up);
    EXPECT_EQ(form->Edit4->text(), "1");
}
