// The application object and the entry point's body.
#pragma once

#include <QApplication>

#include <functional>
#include <memory>

namespace ortholay {

// The application object: takes its title from the program file's name and
// keeps errors out of Qt's event loop. The window's handlers catch their own
// errors (RunHandler); notify() is the last guard for an error escaping any
// other event handler, which it hands to HandleException so that the program
// goes on with the next event.
class OrtholayApplication : public QApplication {
    Q_OBJECT

public:
    OrtholayApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// Start-up and the event loop: creates the main window, shows it at its
// designed place and runs until it is closed. An error raised while the
// window is created or first shown is shown with ShowException and ends the
// program. Always returns 0, the program's exit code.
int RunMainWindow(QApplication& application,
                  const std::function<std::unique_ptr<QWidget>()>& createMainWindow);

}  // namespace ortholay
