// The project file and participants companion readers on arbitrary bytes: whatever a file
// holds, what was read is written and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "project/project_file.h"
#include "textfiles/textfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = textfiles::SplitLines(textfiles::DecodeDetect(bytes).text);

    const project::ProjectFileRead read = project::ParseProjectFile(lines);
    project::ProjectFileData saved;
    saved.playing = read.playing.value_or(QString());
    saved.circles = read.circles.value_or(QString());
    saved.pause = read.pause.value_or(QString());
    saved.shiftBack = read.shiftBack.value_or(QString());
    saved.current = read.current;
    saved.pos = read.pos;
    saved.files = read.files;
    saved.speed = read.speed.value_or(QString());
    const project::ProjectFileRead back =
        project::ParseProjectFile(project::ProjectFileLines(saved));
    if (back.playing.value_or(QString()) != saved.playing ||
        back.circles.value_or(QString()) != saved.circles ||
        back.pause.value_or(QString()) != saved.pause ||
        back.shiftBack.value_or(QString()) != saved.shiftBack || back.current != saved.current ||
        back.pos != saved.pos || back.files != saved.files ||
        back.speed.value_or(QString()) != saved.speed)
        std::abort();

    const project::ParticipantTable table = project::ParseParticipantsLines(lines);
    if (project::ParseParticipantsLines(project::ParticipantsLines(table)) != table) std::abort();
    return 0;
}
