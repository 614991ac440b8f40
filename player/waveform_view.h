// The waveform strip PaintBox1 of the player window. It keeps its own picture, which
// the player tick clears and draws every 200 ms; a mouse press reports its x.
// User-interface thread only.
#pragma once

#include <QImage>
#include <QWidget>

class EnvelopeState;

class WaveformView : public QWidget {
    Q_OBJECT
  public:
    explicit WaveformView(QWidget* parent = nullptr);

    // Clears the strip: white box with a dark grey frame.
    void ClearView();
    // Draws the envelope around a position of `position` seconds in a recording of
    // `length` seconds, in green, and the position as a red line. Draws nothing while
    // there is no envelope.
    void DrawEnvelope(const EnvelopeState& envelope, double position, double length);
    // The picture as last drawn.
    const QImage& Picture() const { return picture_; }
    // The picture to draw into (the zoomed strip); update() shows it.
    QImage& Canvas() { return picture_; }

  signals:
    void MouseDown(int x);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QImage picture_;
};
