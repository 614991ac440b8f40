// The application object: shows any exception that escapes a command in the standard
// error dialog, after which the event loop goes on. User-interface thread only.
#pragma once

#include <QApplication>
#include <QString>
#include <functional>

class TApplication : public QApplication {
    Q_OBJECT
  public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The standard error dialog: the message of the exception with an OK button.
void ShowErrorDialog(const QString& message);
// Replaces the dialog (tests record the messages instead).
extern std::function<void(const QString&)> ErrorDialogHook;

// Runs `body`; an exception that escapes it is shown in the error dialog (one that
// carries no message of ours shows an empty message). Returns false after an exception.
bool RunShowingErrors(const std::function<void()>& body);
