// The one place where failures reach the user: every error that escapes a
// handler of the window is shown here, in one modal message box captioned
// with the application's title, after which the window goes on.
#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <string>

namespace ortholay {

// The application's title: the caption of every message box. Set once at
// start-up from the program file's name (ProgramTitle).
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

// The message an escaped exception carries, as raised: an ortholay::Error's
// text, "Out of memory" for std::bad_alloc, and an empty text for anything
// else.
std::string MessageOf(std::exception_ptr error);

// Called with every error that escapes a handler: ends a mouse grab in
// progress, ignores a SilentAbort and shows anything else.
void HandleException(std::exception_ptr error);

// Shows an error: its message with a period appended by MessageForDisplay,
// in a modal message box with the stop icon and one OK button, captioned
// with the application's title. Returns when the user has closed the box.
void ShowException(std::exception_ptr error);

// What shows a message box. The default is a QMessageBox modal to the whole
// program; tests put a recorder here so that nothing blocks.
using MessageBoxFunction = std::function<void(const QString& caption, const QString& text)>;

// Replaces the message box function and returns the one it replaces (an
// empty function restores the default).
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);

// Runs one handler of the window: an error that escapes it goes to
// HandleException instead of into Qt's event loop, which cannot carry it.
template <typename Handler>
void RunHandler(Handler&& handler) {
    try {
        handler();
    } catch (...) {
        HandleException(std::current_exception());
    }
}

}  // namespace ortholay
