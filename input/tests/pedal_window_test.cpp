#include "input/pedal_window.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <map>

#include "commands/default_commands.h"
#include "commands/registry.h"
#include "fake_sysfs.h"
#include "input/input_setup.h"
#include "input/pedal_manager.h"

using namespace input;
namespace fs = std::filesystem;

namespace {

class PedalWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::path(dir_.path().toStdString());
        sysfs_ = std::make_unique<fakes::FakeSysfs>(root_ / "sys");
        sysfs_->AddHidraw("0003:05F3:00FF.0001", "VEC USB Footpedal", "hidraw2");
        sysfs_->AddHidraw("0003:0911:1844.0002", "Philips Foot Control", "hidraw3");
        PedalManager::Environment env;
        env.sysRoot = root_ / "sys";
        env.devRoot = root_ / "dev";
        env.open = [this](const DeviceNode& node) {
            OpenedNode out;
            if (node.sysname == "hidraw3") {
                out.problem = "нет доступа к /dev/hidraw3";
                out.fix = "Установите правило udev";
                return out;
            }
            int fds[2];
            EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds), 0);
            writer_ = fds[1];
            out.fd = UniqueFd(fds[0]);
            return out;
        };
        manager_ = std::make_unique<PedalManager>(std::move(env), &actions_);
        manager_->Rescan();
        window_ = std::make_unique<PedalWindow>(
            *manager_, actions_,
            std::vector<CommandChoice>{{"player.rewind_held", "Назад, пока нажата"},
                                       {"player.play_held", "Играть"},
                                       {"player.forward_held", "Вперёд, пока нажата"},
                                       {"player.pause", "Пауза"}},
            InputSettings(), [this](const InputSettings& s) { saved_.push_back(s); });
        window_->show();
    }
    void TearDown() override {
        window_.reset();
        manager_.reset();
        if (writer_ >= 0) ::close(writer_);
    }
    void Press(std::uint8_t mask) {
        ASSERT_EQ(::send(writer_, &mask, 1, 0), 1);
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
    }
    template <typename T>
    T* Find(const char* name) {
        T* w = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    QTemporaryDir dir_;
    fs::path root_;
    std::unique_ptr<fakes::FakeSysfs> sysfs_;
    int writer_ = -1;
    std::vector<std::string> ran_;
    PedalActions actions_{{[this](const std::string& id) { ran_.push_back("+" + id); },
                           [this](const std::string& id) { ran_.push_back("-" + id); }}};
    std::unique_ptr<PedalManager> manager_;
    std::unique_ptr<PedalWindow> window_;
    std::vector<InputSettings> saved_;
};

}  // namespace

TEST_F(PedalWindowTest, ListsPedalsByNameWithTheReasonOneDoesNotOpen) {
    auto* list = Find<QListWidget>("PedalDevices");
    ASSERT_EQ(list->count(), 2);
    EXPECT_TRUE(list->item(0)->text().startsWith("VEC USB Footpedal — работает"));
    EXPECT_EQ(list->item(1)->text(),
              "Philips Foot Control — не открывается: нет доступа к /dev/hidraw3. Установите "
              "правило udev");
    // The defaults, shown: left rewinds, middle plays, right forward, all while held.
    EXPECT_EQ(Find<QComboBox>("PedalCommand0")->currentData().toString(), "player.rewind_held");
    EXPECT_EQ(Find<QComboBox>("PedalCommand1")->currentData().toString(), "player.play_held");
    EXPECT_EQ(Find<QComboBox>("PedalCommand2")->currentData().toString(), "player.forward_held");
    EXPECT_EQ(Find<QComboBox>("PedalCommand3")->currentData().toString(), "");
}

TEST_F(PedalWindowTest, LivePictureLearningAndAToggleMapping) {
    Press(0x04);
    EXPECT_TRUE(Find<QLabel>("PedalLamp2")->property("down").toBool());
    EXPECT_FALSE(Find<QLabel>("PedalLamp0")->property("down").toBool());
    Press(0x00);
    EXPECT_FALSE(Find<QLabel>("PedalLamp2")->property("down").toBool());
    EXPECT_EQ(ran_, (std::vector<std::string>{"+player.forward_held", "-player.forward_held"}));
    ran_.clear();

    // "Назначить": the next pedal is only named, it runs nothing.
    QTest::mouseClick(Find<QPushButton>("PedalLearn"), Qt::LeftButton);
    EXPECT_EQ(Find<QLabel>("PedalLearnLabel")->text(), "нажмите педаль");
    Press(0x02);
    Press(0x00);
    EXPECT_TRUE(ran_.empty());
    EXPECT_EQ(Find<QLabel>("PedalLearnLabel")->text(), "Средняя педаль: выберите команду");
    EXPECT_TRUE(Find<QComboBox>("PedalCommand1")->hasFocus() || !window_->isActiveWindow());

    // The middle pedal now pauses, toggled: press on, press again off.
    auto* command = Find<QComboBox>("PedalCommand1");
    command->setCurrentIndex(command->findData("player.pause"));
    Find<QComboBox>("PedalMode1")->setCurrentIndex(1);
    ASSERT_FALSE(saved_.empty());
    EXPECT_EQ(saved_.back().pedals[kMiddlePedal],
              (PedalBinding{"player.pause", PedalMode::Toggle}));
    Press(0x02);
    Press(0x00);
    Press(0x02);
    Press(0x00);
    EXPECT_EQ(ran_, (std::vector<std::string>{"+player.pause", "-player.pause"}));

    QTest::mouseClick(Find<QPushButton>("PedalDefaults"), Qt::LeftButton);
    EXPECT_EQ(saved_.back().pedals, DefaultPedalBindings());
    EXPECT_EQ(actions_.Bindings(), DefaultPedalBindings());
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The program's wiring: pedals reach the registry; the defaults work before the player has its
// hold commands; global keys are refused where the desktop has none, and saved when taken away.
TEST(InputSetup, PedalsRunRegistryCommandsAndMenuItemsOpenTheWindows) {
    QTemporaryDir dir;
    commands::Registry registry;
    commands::AddDefaultCommands(registry);
    QStringList triggered;
    QObject::connect(&registry, &commands::Registry::Triggered,
                     [&](const QString& id) { triggered << id; });
    InputSetup::Options options;
    options.settingsPath = dir.filePath("input.conf");
    options.findPedals = false;
    {
        InputSetup setup(registry, options);
        setup.Actions().OnPedal("p", kMiddlePedal, true);
        setup.Actions().OnPedal("p", kMiddlePedal, false);
        setup.Actions().OnPedal("p", kLeftPedal, true);
        setup.Actions().OnPedal("p", kRightPedal, true);
        // The player's hold commands: pressed once each, the release reaching the same command.
        EXPECT_EQ(triggered,
                  QStringList({"player.play_held", "player.rewind_held", "player.forward_held"}));

        QWidget owner;
        QMenu menu;
        setup.AddMenuItems(&menu, &owner);
        ASSERT_EQ(menu.actions().size(),
                  2);  // a separator and the item; global keys are per command
        EXPECT_EQ(menu.actions()[1]->text(), "Педаль…");
        menu.actions()[1]->trigger();
        auto* window = owner.findChild<PedalWindow*>("PedalWindow");
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->isVisible());
        auto* command = window->findChild<QComboBox*>("PedalCommand1");
        EXPECT_EQ(command->currentText(),
                  "Играть, пока нажата клавиша");  // the player's own caption
        command->setCurrentIndex(command->findData("editor.show"));
        if (qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            EXPECT_FALSE(setup.SetGlobalKey("player.pause", Qt::Key_F3).ok);
        }
        EXPECT_TRUE(setup.SetGlobalKey("player.pause", QKeyCombination()).ok);
        EXPECT_TRUE(setup.GlobalKey("player.pause").isEmpty());
    }
    EXPECT_EQ(LoadInputSettings(options.settingsPath).pedals[kMiddlePedal].command, "editor.show");
}
