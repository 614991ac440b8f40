// The player's word that the sound card is gone: a small label, no box, shown while the
// engine looks for the device again and gone when it is back. A loss shows it once; it
// does not blink or repeat while the same loss lasts.
// User-interface thread only.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>

class QLabel;
class QTimer;
class QWidget;

inline const QString kSoundLostText = QStringLiteral("Звук недоступен — переподключение…");

class SoundNotice : public QObject {
  public:
    // What the engine says: how many losses so far, and whether one lasts now.
    struct Health {
        std::uint32_t losses = 0;
        bool reconnecting = false;
    };
    using HealthSource = std::function<Health()>;

    // Places the (hidden) label at `area` of `parent` and asks `source` four times a
    // second; the default source is the sound engine.
    SoundNotice(QWidget* parent, const QRect& area, HealthSource source = EngineHealth());
    // One look at the engine's health (the timer calls it; tests call it directly).
    void Poll();
    QLabel* Label() const { return label_; }
    // Losses told so far.
    std::uint32_t Told() const { return told_; }

    static HealthSource EngineHealth();

  private:
    HealthSource source_;
    QLabel* label_ = nullptr;
    QTimer* timer_ = nullptr;
    std::uint32_t seen_ = 0;
    std::uint32_t told_ = 0;
};

// A message the player tick raises (the playlist reached a recording that is missing or
// cannot be played) while the typist is typing in another window: a box would come to the
// front, take the keyboard and swallow the typed keys. So it is shown where the typist looks:
// a label of the player (until Clear) and, through `Elsewhere`, the editor's status bar.
class TickNotice : public QObject {
  public:
    TickNotice(QWidget* parent, const QRect& area);
    void Show(const QString& text);
    void Clear();
    QLabel* Label() const { return label_; }
    std::function<void(const QString&)> Elsewhere;

  private:
    QLabel* label_ = nullptr;
};
