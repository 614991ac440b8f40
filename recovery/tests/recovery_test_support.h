// States for the recovery tests.
#pragma once

#include "recovery/recovery_copy.h"

inline recovery::RecoveryState TestState(const QString& text) {
    recovery::RecoveryState s;
    s.text = text;
    s.projectLines = {QStringLiteral("PLAYING=5"),  QStringLiteral("CIRCLES=2"),
                      QStringLiteral("PAUSE=2"),    QStringLiteral("SHIFT_BACK=1"),
                      QStringLiteral("CURRENT=-1"), QStringLiteral("POS=-1")};
    for (int k = 0; k < project::kParticipantCount; ++k)
        s.participants[k].name = QStringLiteral("Участник %1").arg(k + 1);
    return s;
}
