#include "commands/default_commands.h"

namespace commands {

namespace {

QList<QKeySequence> K(std::initializer_list<QKeyCombination> keys) {
    QList<QKeySequence> list;
    for (QKeyCombination key : keys) list << QKeySequence(key);
    return list;
}

QList<Command> MakeDefaults() {
    const QString everywhere = QString::fromUtf16(kEverywhere);
    const QString player = QString::fromUtf16(kPlayerWindow);
    const QString editor = QString::fromUtf16(kEditorWindow);
    const Reach all = Reach::Everywhere;
    const Reach own = Reach::Window;
    const Kind plain = Kind::Plain;
    const Kind hold = Kind::Hold;
    QList<Command> list = {
        // Everywhere: the player's keys, honoured in every window.
        {"app.help", "Справка", K({Qt::Key_F1}), plain, all, everywhere},
        {"player.back", "Назад", K({Qt::Key_F2}), plain, all, everywhere},
        {"player.play", "Играть", K({Qt::Key_F3}), plain, all, everywhere},
        {"player.pause", "Пауза", K({Qt::Key_F4}), plain, all, everywhere},
        {"player.next", "Далее", K({Qt::Key_F5}), plain, all, everywhere},
        {"editor.show", "Редактор", K({Qt::Key_F6}), plain, all, everywhere},
        {"speed.faster", "Быстрее", K({Qt::ALT | Qt::Key_Up}), plain, all, everywhere},
        {"speed.slower", "Медленнее", K({Qt::ALT | Qt::Key_Down}), plain, all, everywhere},
        {"speed.normal", "Обычная скорость", K({Qt::ALT | Qt::Key_Home}), plain, all, everywhere},
        {"player.play_held", "Играть, пока нажата клавиша", {}, hold, all, everywhere},
        {"player.rewind_held", "Назад, пока нажата клавиша", {}, hold, all, everywhere},
        {"player.forward_held", "Вперёд, пока нажата клавиша", {}, hold, all, everywhere},
        // Beside the speed keys: no editing key of the text controls, any keyboard layout.
        {"voice.noise", "Шумоподавление вкл/выкл", K({Qt::ALT | Qt::Key_PageDown}), plain, all,
         everywhere},
        {"voice.levelling", "Выравнивание громкости вкл/выкл", K({Qt::ALT | Qt::Key_PageUp}), plain,
         all, everywhere},
        // The player's menus.
        {"project.open", "Открыть проект", {}, plain, own, player},
        {"project.save", "Сохранить проект", {}, plain, own, player},
        {"project.save_as", "Сохранить проект как", {}, plain, own, player},
        {"player.exit", "Выход", {}, plain, own, player},
        {"playlist.add", "Добавить файлы", {}, plain, own, player},
        {"playlist.remove", "Удалить выбранные", {}, plain, own, player},
        {"playlist.clear", "Очистить список", {}, plain, own, player},
        {"equalizer.flat", "Эквалайзер: значения по умолчанию", {}, plain, own, player},
        {"app.keys", "Клавиши…", {}, plain, own, player},
        {"player.back_step_option", "Шаг назад после паузы…", {}, plain, own, player},
        {"app.about", "О программе", {}, plain, own, player},
        // The editor's menus and its key handler.
        {"editor.open", "Открыть текст", {}, plain, own, editor},
        {"editor.save", "Сохранить текст", {}, plain, own, editor},
        {"editor.save_as", "Сохранить текст как", {}, plain, own, editor},
        {"editor.export_html", "Экспорт в HTML", {}, plain, own, editor},
        {"editor.exit", "Выход из редактора", {}, plain, own, editor},
        {"editor.copy", "Копировать", K({Qt::CTRL | Qt::Key_C}), plain, own, editor},
        {"editor.cut", "Вырезать", K({Qt::CTRL | Qt::Key_X}), plain, own, editor},
        {"editor.paste", "Вставить", K({Qt::CTRL | Qt::Key_V}), plain, own, editor},
        {"editor.select_all", "Выделить всё", K({Qt::CTRL | Qt::Key_A}), plain, own, editor},
        {"editor.undo", "Отменить", K({Qt::CTRL | Qt::Key_U, Qt::CTRL | Qt::Key_Z}), plain, own,
         editor},
        {"editor.redo", "Повторить",
         K({Qt::CTRL | Qt::Key_R, Qt::CTRL | Qt::SHIFT | Qt::Key_Z, Qt::CTRL | Qt::Key_Y}), plain,
         own, editor},
        {"editor.invert_case", "Инверсия регистра", K({Qt::Key_F11}), plain, own, editor},
        {"editor.wrong_layout", "Неверная раскладка", K({Qt::Key_F12}), plain, own, editor},
        {"editor.find", "Найти…", K({Qt::CTRL | Qt::Key_F}), plain, own, editor},
        {"editor.replace", "Заменить…", K({Qt::CTRL | Qt::Key_H}), plain, own, editor},
        {"timestamp.insert", "Вставить метку времени", K({Qt::CTRL | Qt::Key_T}), plain, own,
         editor},
        {"timestamp.play", "Играть с метки времени", K({Qt::CTRL | Qt::Key_J}), plain, own, editor},
        {"dictionary.show", "Открыть словарь", K({Qt::Key_F7}), plain, own, editor},
        {"dictionary.add", "Добавить текст в словарь", K({Qt::Key_F8}), plain, own, editor},
        {"dictionary.insert", "Вставить из словаря", K({Qt::Key_F9}), plain, own, editor},
        {"dictionary.insert_capital", "Вставить из словаря (первая заглавная)",
         K({Qt::SHIFT | Qt::Key_F9}), plain, own, editor},
        {"participants.show", "Показать участников", K({Qt::Key_F10}), plain, own, editor},
        {"editor.font", "Шрифт", {}, plain, own, editor},
        {"editor.background", "Цвет фона", {}, plain, own, editor},
        {"editor.spelling", "Проверка орфографии", {}, plain, own, editor},
    };
    const Qt::Key digits[10] = {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5,
                                Qt::Key_6, Qt::Key_7, Qt::Key_8, Qt::Key_9, Qt::Key_0};
    for (int n = 1; n <= 10; ++n) {
        list.append({ParticipantCommand(n), QStringLiteral("Реплика участника %1").arg(n),
                     K({Qt::CTRL | digits[n - 1]}), plain, own, editor});
    }
    return list;
}

}  // namespace

const QList<Command>& DefaultCommands() {
    static const QList<Command> list = MakeDefaults();
    return list;
}

void AddDefaultCommands(Registry& registry) {
    for (const Command& command : DefaultCommands()) registry.Add(command);
}

bool IsDefaultEverywhereKey(QKeyCombination key) {
    const QKeySequence pressed(NormalKey(key));
    for (const Command& command : DefaultCommands()) {
        if (command.reach == Reach::Everywhere && command.defaultKeys.contains(pressed))
            return true;
    }
    return false;
}

QString ParticipantCommand(int participant) {
    return QStringLiteral("editor.participant%1").arg(participant);
}

}  // namespace commands
