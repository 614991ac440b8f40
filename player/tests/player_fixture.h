// A player window on the manual sound output: every tick first renders exactly 200 ms,
// then runs Timer1Timer, so whole fragment cycles run in milliseconds and positions
// are exact. Sound files are written into a temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <sndfile.h>

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <memory>
#include <vector>

#include "audio/audio.h"
#include "player/player_controls.h"
#include "player/player_window.h"

// Writes a 16-bit mono WAV of `seconds` at 44.1 kHz: a quiet 440 Hz tone.
inline bool WriteTone(const QString& path, double seconds) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (file == nullptr) return false;
    const auto frames = static_cast<sf_count_t>(std::llround(seconds * 44100));
    std::vector<float> samples(static_cast<std::size_t>(frames));
    for (sf_count_t i = 0; i < frames; ++i)
        samples[static_cast<std::size_t>(i)] =
            0.5f * static_cast<float>(std::sin(2 * M_PI * 440.0 * static_cast<double>(i) / 44100));
    sf_writef_float(file, samples.data(), frames);
    return sf_close(file) == 0;
}

class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        audio::CloseDevice();
        ASSERT_TRUE(audio::OpenManualOutput(44100));
        form = std::make_unique<TForm1>();
        form->Timer1->stop();
        form->MessageHook = [this](const QString& text) {
            messages << text;
            busyDuringMessage.push_back(form->TickBusy);
        };
        form->OpenFilesHook = [this] { return chosenFiles; };
    }
    void TearDown() override {
        form.reset();
        audio::CloseDevice();
    }

    QString Tone(const QString& name, double seconds) {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(WriteTone(path, seconds));
        return path;
    }
    // Puts `paths` into the playlist through "Добавить файлы".
    void Add(const QStringList& paths) {
        chosenFiles = paths;
        form->N7Click();
    }
    // Makes item `row` current and opens it as a click would.
    void Open(int row) {
        form->ListBox1->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        form->ListBox1Click();
    }
    void Tick(int count = 1) {
        for (int i = 0; i < count; ++i) {
            audio::AdvanceManualOutput(8820);
            form->Timer1Timer();
        }
    }
    double Position() const {
        return audio::BytesToSeconds(form->Stream,
                                     audio::StreamPosition(form->Stream, audio::POS_BYTE));
    }
    QString Panel(int number) const { return form->StatusBar1->PanelText(number - 1); }

    QTemporaryDir folder;
    std::unique_ptr<TForm1> form;
    QStringList chosenFiles;
    QStringList messages;
    std::vector<bool> busyDuringMessage;
};
