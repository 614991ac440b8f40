// Small controls of the player window: the playlist box, the up-down spinner bound to an
// edit field, and the status bar with fixed-width panels. User-interface thread only.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QToolButton>
#include <QVector>

// A list box that reports a "click" the way the player needs it: a mouse click on an
// item, or a keyboard move of the current item. Moving the current item from code does
// not report anything.
class TListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit TListBox(QWidget* parent = nullptr);

  signals:
    void Click();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// Two arrow buttons that step the whole number in an edit field within a range.
class TUpDown : public QWidget {
    Q_OBJECT
  public:
    TUpDown(QLineEdit* associate, int minimum, int maximum, int fallback, QWidget* parent);
    // Steps the field by `delta` (a text that is not a number counts as the fallback).
    void Step(int delta);

  private:
    QLineEdit* associate_;
    int minimum_;
    int maximum_;
    int fallback_;
};

// A status bar of fixed-width panels laid side by side from the left edge; the last panel
// is left-aligned, the others centred. Panels beyond the bar's width are cut off.
class TStatusBar : public QWidget {
    Q_OBJECT
  public:
    TStatusBar(const QVector<int>& widths, QWidget* parent = nullptr);
    QString PanelText(int index) const;
    void SetPanelText(int index, const QString& text);
    int PanelCount() const { return panels_.size(); }
    // A note over the whole bar for `milliseconds`, the panels unchanged beneath it.
    void ShowNote(const QString& text, int milliseconds);
    QString Note() const;  // the note on show; empty without one

  private:
    QVector<QLabel*> panels_;
    QLabel* note_ = nullptr;
};

// A vertical track bar with position 0 at the top, filled from the bottom up to the handle:
// the top is the loudest end of both the volume and the equalizer bands, so a handle at the
// bottom must look empty, not full.
class TVerticalTrackBar : public QSlider {
    Q_OBJECT
  public:
    TVerticalTrackBar(int maximum, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// Makes a label's text fit its width: a condensed face first, then a smaller size.
void FitLabelText(QLabel* label);
