// Start-up and the display of errors: the title, the period rule, the one
// message box per escaped error, and a start-up that fails.

#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <clocale>
#include <memory>
#include <new>
#include <stdexcept>

#include "app/error_display.h"
#include "app/ortholay_application.h"
#include "app/program_title.h"
#include "app/unit1.h"
#include "app_test_support.h"
#include "common/error.h"

using namespace ortholay::testing;

namespace {

// An object whose event handling fails, as a handler outside the window's
// guards might.
class FailingObject : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            throw ortholay::StreamWriteError();
        }
        return QObject::event(event);
    }
};

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void programTitle_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("the program") << "/usr/bin/ortholay" << "Ortholay";
        QTest::newRow("cut before the first dot") << "C/DazErazi.Tool.exe" << "Dazerazi";
        QTest::newRow("capitals lowered") << "/opt/ORTHOLAY" << "Ortholay";
        QTest::newRow("no folder") << "ortholay.bin" << "Ortholay";
        QTest::newRow("a dot in the folder") << "/a.b/tool" << "Tool";
        QTest::newRow("non-ASCII letters") << "/x/éCLAIR" << "Éclair";
        QTest::newRow("Chinese") << "/x/航照Tool.x" << "航照tool";
        QTest::newRow("hidden name") << "/x/.ortholay" << "";
    }

    void programTitle() {
        QFETCH(QString, path);
        QFETCH(QString, title);
        QCOMPARE(QString::fromUtf8(ortholay::ProgramTitle(path.toStdString())), title);
    }

    void theTitleComesFromTheProgramFile() {
        // This test program is startup_test.
        QCOMPARE(ortholay::ApplicationTitle(), QStringLiteral("Startup_test"));
    }

    void showException_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a letter gains a period") << 0 << "Stream write error.";
        QTest::newRow("a closing parenthesis does not") << 1 << "List index out of bounds (7)";
        QTest::newRow("a period stays single") << 2 << "Ends.";
        QTest::newRow("a Chinese character gains one") << 3 << "Cannot open file /航照/a01.jpg.";
        QTest::newRow("empty message for a foreign error") << 4 << "";
        QTest::newRow("out of memory") << 5 << "Out of memory.";
        QTest::newRow("a digit gains a period") << 6 << "JPEG error #41.";
        QTest::newRow("a space does not") << 7 << "Cannot open file ";
    }

    void showException() {
        QFETCH(int, kind);
        QFETCH(QString, shown);
        MessageRecorder recorder;
        try {
            switch (kind) {
            case 0: throw ortholay::StreamWriteError();
            case 1: throw ortholay::ListIndexError(7);
            case 2: throw ortholay::Error("Ends.");
            case 3: throw ortholay::FileOpenError("/航照/a01.jpg");
            case 4: throw std::runtime_error("not one of ours");
            case 5: throw std::bad_alloc();
            case 6: throw ortholay::JpegError(41);
            default: throw ortholay::FileOpenError("");
            }
        } catch (...) {
            ortholay::HandleException(std::current_exception());
        }
        QCOMPARE(recorder.messages().size(), std::size_t{1});
        QCOMPARE(recorder.messages().front().text, shown);
        QCOMPARE(recorder.messages().front().caption, ortholay::ApplicationTitle());
    }

    void aSilentAbortShowsNothing() {
        MessageRecorder recorder;
        ortholay::HandleException(std::make_exception_ptr(ortholay::SilentAbort()));
        QVERIFY(recorder.messages().empty());
    }

    void aMouseGrabEnds() {
        MessageRecorder recorder;
        QWidget widget;
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        widget.grabMouse();
        QCOMPARE(QWidget::mouseGrabber(), &widget);
        ortholay::HandleException(std::make_exception_ptr(ortholay::StreamWriteError()));
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        QCOMPARE(recorder.messages().size(), std::size_t{1});
    }

    // An error escaping any event handler is shown, once per error, and the
    // event loop goes on.
    void errorsEscapingEventHandlersAreShown() {
        MessageRecorder recorder;
        FailingObject failing;
        QEvent first(QEvent::User);
        QVERIFY(!QCoreApplication::sendEvent(&failing, &first));
        QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        QCOMPARE(recorder.texts(), (QStringList{"Stream write error.", "Stream write error."}));
    }

    void aFailedHandlerLeavesTheWindowGoingOn() {
        MessageRecorder recorder;
        TForm1 form;
        ScriptedSaveDialog* dialog = UseScriptedSaveDialog(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        dialog->ChooseNext(QStringLiteral("/nonexistent-folder/a"));
        dialog->ChooseNext(QStringLiteral("/nonexistent-folder/b.kml"));
        QTest::mouseClick(form.LMDShapeButton4, Qt::LeftButton);
        QVERIFY(form.isVisible());
        QVERIFY(form.isEnabled());
        QTest::mouseClick(form.LMDShapeButton4, Qt::LeftButton);
        QCOMPARE(recorder.texts(), (QStringList{"Cannot create file /nonexistent-folder/a.kml.",
                                                "Cannot create file /nonexistent-folder/b.kml."}));
    }

    void aFailedStartUpIsShownAndEndsWithZero() {
        MessageRecorder recorder;
        const int exitCode = ortholay::RunMainWindow(*qApp, []() -> std::unique_ptr<QWidget> {
            throw ortholay::FileOpenError("/missing.jgw");
        });
        QCOMPARE(exitCode, 0);
        QCOMPARE(recorder.texts(), QStringList{"Cannot open file /missing.jgw."});
    }

    void closingTheWindowEndsWithZero() {
        MessageRecorder recorder;
        QWidget* shown = nullptr;
        const int exitCode = ortholay::RunMainWindow(*qApp, [&shown]() -> std::unique_ptr<QWidget> {
            auto form = std::make_unique<TForm1>();
            shown = form.get();
            QTimer::singleShot(0, form.get(), [&shown] { shown->close(); });
            return form;
        });
        QCOMPARE(exitCode, 0);
        QVERIFY(recorder.messages().empty());
    }
};

ORTHOLAY_APP_TEST_MAIN(StartupTest)

#include "startup_test.moc"
