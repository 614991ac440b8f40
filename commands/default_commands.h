// The program's own commands: ids, captions, default keys, kind and reach. The default keys are
// the keys the windows have always had; commands without one can be given a key by the typist.
// Other parts add their commands to the registry beside these (see registry.h).
#pragma once

#include <QList>

#include "commands/registry.h"

namespace commands {

// Window names as the keys dialog groups the commands.
inline constexpr char16_t kEverywhere[] = u"Во всех окнах";
inline constexpr char16_t kPlayerWindow[] = u"Проигрыватель";
inline constexpr char16_t kEditorWindow[] = u"Редактор";

// The commands in the order the keys dialog lists them.
const QList<Command>& DefaultCommands();
// Adds every default command to `registry` (no handlers yet).
void AddDefaultCommands(Registry& registry);
// Whether `key` is a default key of an Everywhere command.
bool IsDefaultEverywhereKey(QKeyCombination key);

// The participant commands: "editor.participant1" … "editor.participant10".
QString ParticipantCommand(int participant);

}  // namespace commands
