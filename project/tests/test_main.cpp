// One QApplication for the whole test program, and the manual sound output opened before
// any window, so that playback advances only when a test renders it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <memory>

#include "audio/audio.h"

namespace {

class QtEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        app_ = std::make_unique<QApplication>(argc_, argv_);
        // The dictionary window reads its file beside the executable at start-up.
        QFile dictionary(QCoreApplication::applicationDirPath() + "/NUV_Tolvek.lib");
        if (!dictionary.exists() && dictionary.open(QIODevice::WriteOnly)) dictionary.close();
        audio::OpenManualOutput(44100);
    }
    void TearDown() override {
        audio::CloseDevice();
        app_.reset();
    }

  private:
    int argc_ = 1;
    char name_[16] = "project_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] testing::Environment* const qt_environment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
