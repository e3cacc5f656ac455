#include "app/ortholay_application.h"

#include <QFile>
#include <QIcon>
#include <QWidget>

#include <exception>

#include "app/error_display.h"
#include "app/program_title.h"
#include "app/resources.h"

namespace ortholay {

OrtholayApplication::OrtholayApplication(int& argc, char** argv) : QApplication(argc, argv) {
    const std::string title =
        ProgramTitle(QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString());
    SetApplicationTitle(QString::fromLocal8Bit(title.data(), static_cast<qsizetype>(title.size())));
    setApplicationName(ApplicationTitle());
    InitResources();
    setWindowIcon(QIcon(QStringLiteral(":/ortholay/mainicon.xpm")));
}

bool OrtholayApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException(std::current_exception());
        return false;
    }
}

int RunMainWindow(QApplication& application,
                  const std::function<std::unique_ptr<QWidget>()>& createMainWindow) {
    std::unique_ptr<QWidget> mainWindow;
    try {
        mainWindow = createMainWindow();
        mainWindow->show();
    } catch (...) {
        ShowException(std::current_exception());
        return 0;
    }
    application.exec();
    return 0;
}

}  // namespace ortholay
