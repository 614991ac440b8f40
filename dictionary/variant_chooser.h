// "NUV Tolvek - Выберите вариант из списка": the modal chooser among several dictionary
// texts for one abbreviation. A digit (and the characters after 9 for variants 10 and up),
// Enter or a double click picks; the title-bar button closes without a pick; Esc does
// nothing. Created hidden at start-up and kept for the life of the process.
// Every member runs on the user-interface thread.
#pragma once

#include <QDialog>
#include <QStringList>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QTableWidget;

class TForm6 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm6(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QTableWidget* StringGrid1 = nullptr;  // column 0 the number, column 1 the text
    QMenu* PopupMenu1 = nullptr;          // attached to nothing
    QAction* N1 = nullptr;                // "Изменение размеров формы"

    // Refills the grid: one row per variant, numbered from 1; the first row is current.
    void SetVariants(const QStringList& variants);
    // The text of a row (column 1).
    QString Variant(int row) const;

    // Fits the window to the number of rows; with ten or more it keeps its size.
    void N1Click();
    void StringGrid1KeyPress(QChar key);
    void StringGrid1DblClick();

    // Shows the chooser modally, centred on the screen with the focus in the grid; returns
    // the picked text, or nothing when the window was closed without a pick.
    std::optional<QString> Choose();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void Pick(int row);
    void ApplyOuterHeight();

    std::optional<QString> picked_;
    int outerHeight_ = 0;  // set by the fit; 0 until the first fit
};
