#include "app/error_display.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include <new>
#include <utility>

#include "common/error.h"

namespace ortholay {

namespace {

QString& TitleStorage() {
    static QString title;
    return title;
}

MessageBoxFunction& MessageBoxStorage() {
    static MessageBoxFunction function;
    return function;
}

// The message box, modal to the whole program. It stands over the active
// window (so it opens on that window's screen); Qt gives the focus back to
// the control that had it once the box is closed.
void ShowCriticalMessageBox(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);  // a path may hold "<" or "&"
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace

QString ApplicationTitle() {
    return TitleStorage();
}

void SetApplicationTitle(const QString& title) {
    TitleStorage() = title;
}

std::string MessageOf(std::exception_ptr error) {
    try {
        std::rethrow_exception(std::move(error));
    } catch (const Error& e) {
        return e.what();
    } catch (const std::bad_alloc&) {
        return OutOfMemoryError().what();
    } catch (...) {
        return std::string();
    }
}

void HandleException(std::exception_ptr error) {
    if (QWidget* grabber = QWidget::mouseGrabber()) {
        grabber->releaseMouse();
    }
    try {
        std::rethrow_exception(error);
    } catch (const SilentAbort&) {
        return;
    } catch (...) {
    }
    ShowException(std::move(error));
}

void ShowException(std::exception_ptr error) {
    const std::string message = MessageForDisplay(MessageOf(std::move(error)));
    const QString text = QString::fromLocal8Bit(message.data(), static_cast<qsizetype>(message.size()));
    const MessageBoxFunction& function = MessageBoxStorage();
    if (function) {
        function(ApplicationTitle(), text);
    } else {
        ShowCriticalMessageBox(ApplicationTitle(), text);
    }
}

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function) {
    return std::exchange(MessageBoxStorage(), std::move(function));
}

}  // namespace ortholay
