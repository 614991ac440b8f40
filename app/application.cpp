#include "app/application.h"

#include <QMessageBox>
#include <exception>

std::function<void(const QString&)> ErrorDialogHook;

void ShowErrorDialog(const QString& message) {
    if (ErrorDialogHook) {
        ErrorDialogHook(message);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("NUV Tolvek"), message, QMessageBox::Ok);
    box.exec();
}

bool RunShowingErrors(const std::function<void()>& body) {
    try {
        body();
        return true;
    } catch (const std::exception& error) {
        ShowErrorDialog(QString::fromUtf8(error.what()));
    } catch (...) {
        ShowErrorDialog(QString());
    }
    return false;
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationVersion(QStringLiteral(NUVTOLVEK_VERSION));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    bool result = false;
    RunShowingErrors([&] { result = QApplication::notify(receiver, event); });
    return result;
}
