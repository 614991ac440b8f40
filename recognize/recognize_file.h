// A recording recognised straight into a file, for the command line and batches.
#pragma once

#include <QString>
#include <functional>

#include "recognize/recognizer.h"

namespace recognize {

// Recognises `recording` and writes the draft to `out` in the format of its extension (as the
// command line's conversion: .srt and .vtt keep the recogniser's times, .txt, .odt and .docx
// get the transcript text with timestamps). Runs an event loop of its own until done (a
// QCoreApplication must exist). `progress` hears each new per cent. Returns an empty string
// when done, else what went wrong, in Russian; nothing is written then.
QString RecognizeToFile(const QString& recording, const QString& out, const Settings& settings,
                        const std::function<void(int)>& progress);

}  // namespace recognize
