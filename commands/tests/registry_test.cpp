// The command registry: keys in force, refused keys, hold commands, actions as views.
#include "commands/registry.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>

#include "commands/default_commands.h"

using commands::Command;
using commands::KeyProblem;
using commands::Kind;
using commands::Reach;
using commands::Registry;

namespace {

QKeySequence Key(QKeyCombination key) {
    return QKeySequence(key);
}

// Two commands of each reach, one of them a hold command.
struct Fixture {
    Registry registry;
    QStringList log;
    Fixture() {
        registry.Add({"a.play", "Играть", {Key(Qt::Key_F3)}, Kind::Plain, Reach::Everywhere, "x"});
        registry.Add({"a.hold", "Держать", {}, Kind::Hold, Reach::Everywhere, "x"});
        registry.Add(
            {"w.copy", "Копировать", {Key(Qt::CTRL | Qt::Key_C)}, Kind::Plain, Reach::Window, "y"});
        registry.Add({"w.save", "Сохранить", {}, Kind::Plain, Reach::Window, "y"});
        for (const QString& id : registry.Ids()) {
            registry.SetHandler(
                id, [this, id] { log << id + "+"; }, [this, id] { log << id + "-"; });
        }
    }
};

TEST(Registry, KeysAreCheckedBeforeTheyAreGiven) {
    Fixture f;
    struct Case {
        const char* name;
        QKeySequence key;
        KeyProblem expected;
        const char* holder;
    };
    const Case cases[] = {
        {"ctrl letter", Key(Qt::CTRL | Qt::Key_P), KeyProblem::None, ""},
        {"function key", Key(Qt::Key_F8), KeyProblem::None, ""},
        {"shift function key", Key(Qt::SHIFT | Qt::Key_F9), KeyProblem::None, ""},
        {"alt arrow", Key(Qt::ALT | Qt::Key_Left), KeyProblem::None, ""},
        {"media key", Key(Qt::Key_MediaPlay), KeyProblem::None, ""},
        {"its own key", Key(Qt::Key_F3), KeyProblem::None, ""},
        {"keypad copy of its own key", Key(QKeyCombination(Qt::KeypadModifier, Qt::Key_F3)),
         KeyProblem::None, ""},
        {"plain letter", Key(Qt::Key_A), KeyProblem::TypesText, ""},
        {"cyrillic letter", Key(QKeyCombination(Qt::Key(0x0416))), KeyProblem::TypesText, ""},
        {"shift letter", Key(Qt::SHIFT | Qt::Key_A), KeyProblem::TypesText, ""},
        {"space", Key(Qt::Key_Space), KeyProblem::TypesText, ""},
        {"plain arrow", Key(Qt::Key_Left), KeyProblem::TypesText, ""},
        {"enter", Key(Qt::Key_Return), KeyProblem::TypesText, ""},
        {"modifier alone", Key(Qt::CTRL | Qt::Key_Control), KeyProblem::Empty, ""},
        {"nothing", QKeySequence(), KeyProblem::Empty, ""},
        {"two chords", QKeySequence(Qt::CTRL | Qt::Key_K, Qt::CTRL | Qt::Key_B),
         KeyProblem::SeveralChords, ""},
        {"another command's", Key(Qt::CTRL | Qt::Key_C), KeyProblem::TakenByOther, "w.copy"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString other;
        EXPECT_EQ(f.registry.CheckKey("a.play", c.key, &other), c.expected);
        EXPECT_EQ(other, QString(c.holder));
    }
    EXPECT_EQ(f.registry.CheckKey("no.such", Key(Qt::Key_F8)), KeyProblem::UnknownCommand);
    EXPECT_EQ(commands::KeyProblemText(KeyProblem::TakenByOther, "Копировать"),
              QString("Клавиша уже назначена команде «Копировать»"));
}

TEST(Registry, RebindingMovesTheKeyAndRefusesConflictsWhole) {
    Fixture f;
    ASSERT_TRUE(f.registry.SetKeys("a.play", {Key(Qt::CTRL | Qt::Key_P), Key(Qt::Key_F8)}));
    EXPECT_EQ(f.registry.CommandForKey(Qt::CTRL | Qt::Key_P), "a.play");
    EXPECT_EQ(f.registry.CommandForKey(Qt::Key_F8, Reach::Everywhere), "a.play");
    EXPECT_EQ(f.registry.CommandForKey(Qt::Key_F8, Reach::Window), "");
    EXPECT_EQ(f.registry.CommandForKey(Qt::Key_F3), "");  // the old key does nothing now
    EXPECT_FALSE(f.registry.HasDefaultKeys("a.play"));

    // One bad key refuses the whole change and names the holder.
    KeyProblem problem = KeyProblem::None;
    QString other;
    EXPECT_FALSE(f.registry.SetKeys("w.save", {Key(Qt::CTRL | Qt::Key_S), Key(Qt::Key_F8)},
                                    &problem, &other));
    EXPECT_EQ(problem, KeyProblem::TakenByOther);
    EXPECT_EQ(other, "a.play");
    EXPECT_TRUE(f.registry.Keys("w.save").isEmpty());
    EXPECT_EQ(f.registry.CommandForKey(Qt::CTRL | Qt::Key_S), "");

    // Duplicates and empty fields collapse; a keypad flag is not kept.
    ASSERT_TRUE(f.registry.SetKeys(
        "w.save", {Key(Qt::CTRL | Qt::Key_S), QKeySequence(),
                   Key(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_S))}));
    EXPECT_EQ(f.registry.Keys("w.save"), QList<QKeySequence>{Key(Qt::CTRL | Qt::Key_S)});

    f.registry.RestoreDefaults();
    EXPECT_EQ(f.registry.CommandForKey(Qt::Key_F3), "a.play");
    EXPECT_EQ(f.registry.CommandForKey(Qt::Key_F8), "");
    EXPECT_EQ(f.registry.CommandForKey(Qt::CTRL | Qt::Key_S), "");
    EXPECT_TRUE(f.registry.HasDefaultKeys("a.play"));
    EXPECT_TRUE(f.registry.HasDefaultKeys("w.save"));
}

TEST(Registry, HoldCommandsArePressedOnceAndReleasedOnce) {
    Fixture f;
    struct Step {
        const char* action;  // "press", "release", "run"
        const char* id;
    };
    const Step steps[] = {{"release", "a.hold"}, {"press", "a.hold"},   {"press", "a.hold"},
                          {"release", "a.hold"}, {"release", "a.hold"}, {"run", "a.hold"},
                          {"press", "a.play"},   {"release", "a.play"}, {"run", "a.play"}};
    for (const Step& step : steps) {
        const QString action(step.action);
        bool known = false;
        if (action == "press") known = f.registry.Press(step.id);
        if (action == "release") known = f.registry.Release(step.id);
        if (action == "run") known = f.registry.Run(step.id);
        EXPECT_TRUE(known) << step.action;
    }
    EXPECT_EQ(f.log,
              QStringList({"a.hold+", "a.hold-", "a.hold+", "a.hold-", "a.play+", "a.play+"}));
    EXPECT_FALSE(f.registry.IsHeld("a.hold"));
    EXPECT_FALSE(f.registry.Run("no.such"));
    EXPECT_FALSE(f.registry.Press("no.such"));
}

TEST(Registry, AddingKeepsIdsAndKeysUnique) {
    Fixture f;
    EXPECT_FALSE(f.registry.Add({"a.play", "Другое", {}, Kind::Plain, Reach::Window, "y"}));
    EXPECT_FALSE(f.registry.Add({"", "Пустое", {}, Kind::Plain, Reach::Window, "y"}));
    // A default key already held stays with its holder.
    ASSERT_TRUE(f.registry.Add(
        {"b.new", "Новое", {Key(Qt::Key_F3), Key(Qt::Key_F9)}, Kind::Plain, Reach::Window, "y"}));
    EXPECT_EQ(f.registry.CommandForKey(Qt::Key_F3), "a.play");
    EXPECT_EQ(f.registry.Keys("b.new"), QList<QKeySequence>{Key(Qt::Key_F9)});
    EXPECT_EQ(f.registry.Find("a.play")->caption, "Играть");
    EXPECT_EQ(f.registry.Find("no.such"), nullptr);
}

TEST(Registry, BoundActionsRunTheCommandAndShowTheKeysInForce) {
    Fixture f;
    QAction shown;
    QAction hidden;
    int direct = 0;
    QObject::connect(&shown, &QAction::triggered, [&direct] { ++direct; });
    f.registry.BindAction(&shown, "w.copy");
    f.registry.BindAction(&hidden, "a.play", false);
    EXPECT_EQ(shown.shortcuts(), QList<QKeySequence>{Key(Qt::CTRL | Qt::Key_C)});
    EXPECT_TRUE(hidden.shortcuts().isEmpty());
    shown.trigger();
    hidden.trigger();
    EXPECT_EQ(direct, 0);  // the earlier connection is gone: one way in only
    EXPECT_EQ(f.log, QStringList({"w.copy+", "a.play+"}));
    ASSERT_TRUE(f.registry.SetKeys("w.copy", {Key(Qt::CTRL | Qt::Key_Insert)}));
    EXPECT_EQ(shown.shortcuts(), QList<QKeySequence>{Key(Qt::CTRL | Qt::Key_Insert)});
    f.registry.RestoreDefaults();
    EXPECT_EQ(shown.shortcuts(), QList<QKeySequence>{Key(Qt::CTRL | Qt::Key_C)});
}

// The program's own table: every default key is accepted and kept, no id twice.
TEST(DefaultCommands, EveryDefaultKeyIsKeptAndValid) {
    Registry registry;
    commands::AddDefaultCommands(registry);
    QSet<QString> ids;
    for (const Command& command : commands::DefaultCommands()) {
        SCOPED_TRACE(command.id.toStdString());
        EXPECT_FALSE(ids.contains(command.id));
        ids.insert(command.id);
        EXPECT_FALSE(command.caption.isEmpty());
        EXPECT_EQ(registry.Keys(command.id), command.defaultKeys);
        for (const QKeySequence& key : command.defaultKeys)
            EXPECT_EQ(registry.CheckKey(command.id, key), KeyProblem::None)
                << key.toString().toStdString();
    }
    EXPECT_TRUE(commands::IsDefaultEverywhereKey(Qt::Key_F4));
    EXPECT_TRUE(commands::IsDefaultEverywhereKey(Qt::ALT | Qt::Key_Home));
    EXPECT_FALSE(commands::IsDefaultEverywhereKey(Qt::Key_F7));  // the editor's own
    EXPECT_FALSE(commands::IsDefaultEverywhereKey(Qt::SHIFT | Qt::Key_F3));
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
