// One QApplication for the whole test program. Started with NUV_RECOVERY_CHILD=1 the program
// is instead the typist of the kill test: the window set, a recovery session and steady
// typing, until the test kills it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>

#include "audio/audio.h"
#include "kill_child.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The dictionary window reads its file beside the executable at start-up.
    QFile dictionary(QCoreApplication::applicationDirPath() + "/NUV_Tolvek.lib");
    if (!dictionary.exists() && dictionary.open(QIODevice::WriteOnly)) dictionary.close();
    if (qEnvironmentVariableIntValue("NUV_RECOVERY_CHILD") == 1) return RunTypingChild();
    audio::OpenManualOutput(44100);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    audio::CloseDevice();
    return result;
}
