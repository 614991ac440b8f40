#pragma once

#include <QDialog>

// "О программе": product name and version, shown modally.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};
