// A long run of the player over many short recordings: the whole playlist played through
// by the tick at full speed on the manual output, every file opened in turn, its waveform
// requested each time. Shared by the soak test and its benchmark; needs the window set.
#pragma once

#include <QFile>
#include <QListWidget>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/tests/sound_files.h"
#include "app/window_set.h"
#include "audio/audio.h"
#include "player/player_controls.h"
#include "player/player_window.h"

namespace e2e {

// A field of /proc/self/status ("VmRSS", "VmHWM") in megabytes; 0 when unreadable.
inline double ProcStatusMegabytes(const char* field) {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return 0;
    char line[256];
    double megabytes = 0;
    const std::size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            megabytes = std::atof(line + length + 1) / 1024.0;  // the kernel writes kB
            break;
        }
    }
    std::fclose(status);
    return megabytes;
}

// `count` recordings of 3 to 6 seconds at varied rates, mono and stereo, in `folder`.
inline QStringList WriteSoakRecordings(const QString& folder, int count) {
    static const int kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path =
            folder + QStringLiteral("/запись %1.wav").arg(i + 1, 2, 10, QChar('0'));
        const double seconds = 3.0 + (i % 4) + 0.25 * (i % 3);
        if (!WriteWav(path, seconds, kRates[i % 7], 1 + i % 2, 200.0 + 20 * i)) return {};
        paths << path;
    }
    return paths;
}

struct SoakRun {
    QStringList opened;                   // recordings in the order they were opened
    std::vector<audio::HSTREAM> streams;  // the playback stream of each
    int ticks = 0;
    double rssAtTenthMegabytes = 0;  // when the tenth recording opened
    double rssAtEndMegabytes = 0;    // when the player halted
};

// Puts `recordings` into the player's playlist, opens the first and runs ticks, each after
// 200 ms of rendered sound, until the player halts or `maxTicks` have run.
inline SoakRun PlayThrough(const QStringList& recordings, int maxTicks) {
    SoakRun run;
    Form1->OpenFilesHook = [recordings] { return recordings; };
    Form1->N7Click();
    Form1->ListBox1->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    Form1->ListBox1Click();
    auto noteOpened = [&run] {
        if (Form1->Stream == 0 || (!run.streams.empty() && run.streams.back() == Form1->Stream))
            return;
        run.streams.push_back(Form1->Stream);
        run.opened << Form1->EnvelopeFile;
        if (run.opened.size() == 10) run.rssAtTenthMegabytes = ProcStatusMegabytes("VmRSS");
    };
    noteOpened();
    while (!Form1->Stopped && run.ticks < maxTicks) {
        audio::AdvanceManualOutput(8820);
        Form1->Timer1Timer();
        ++run.ticks;
        noteOpened();
    }
    run.rssAtEndMegabytes = ProcStatusMegabytes("VmRSS");
    return run;
}

}  // namespace e2e
