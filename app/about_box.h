// "О программе": product name, version, maker's notice and a link to the guide's section
// about the program (version, licences).
// Shown modally; OK closes it. User-interface thread only.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT
  public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Copyright = nullptr;
    QLabel* Comments = nullptr;  // the link to the guide's "О программе"
    QPushButton* OKButton = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
