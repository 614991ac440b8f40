// The waveform strip PaintBox1 of the player window. It keeps its own picture, which
// the player tick clears and draws every 200 ms; a mouse press reports its x.
// User-interface thread only.
#pragma once

#include <QImage>
#include <QWidget>

class WaveformView : public QWidget {
    Q_OBJECT
public:
    explicit WaveformView(QWidget* parent = nullptr);

    // Clears the strip: white box with a dark grey frame.
    void ClearView();
    // The picture as last drawn.
    const QImage& Picture() const { return picture_; }

signals:
    void MouseDown(int x);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage picture_;
};
