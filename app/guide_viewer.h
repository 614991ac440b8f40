// The program's own viewer of the user guide: F1 opens it at once and offline, whatever the
// desktop's browser does; a button opens the same page in the browser. One window for the
// whole program, shown without making it modal.
// User-interface thread only.
#pragma once

#include <QUrl>
#include <QWidget>

class QPushButton;
class QTextBrowser;

class GuideViewer : public QWidget {
    Q_OBJECT
  public:
    explicit GuideViewer(QWidget* parent = nullptr);

    // Shows `page` (a local file, at its fragment if it has one), or a note that the guide
    // is missing when `page` is empty.
    void Show(const QUrl& page);

    QTextBrowser* Text = nullptr;
    QPushButton* InBrowser = nullptr;  // "Открыть в браузере": the page shown, in the browser
};

// Shows the guide in the one viewer window, creating it over `owner` the first time.
void ShowGuideViewer(QWidget* owner, const QUrl& page);
