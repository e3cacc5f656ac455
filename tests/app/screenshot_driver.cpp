// ortholay-screenshot: shows the program's window on the X display, selects
// a folder in the tree, clicks the run button, waits for the document and
// saves a picture of the screen where the window stands. scripts/screenshot
// runs it under Xvfb.
//
//   ortholay-screenshot FOLDER PICTURE.png [PICTURE-WHILE-RUNNING.png]
//
// With a third picture, the window is also grabbed while the run is under
// way, once the progress bar has moved: the window goes on painting then,
// with its inputs disabled.

#include <QDir>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>

#include "app/error_display.h"
#include "app/ortholay_application.h"
#include "app/shape_button.h"
#include "app/shell_tree_view.h"
#include "app/unit1.h"

int main(int argc, char** argv) {
    ortholay::OrtholayApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3 && arguments.size() != 4) {
        std::fprintf(stderr,
                     "usage: ortholay-screenshot FOLDER PICTURE.png [PICTURE-WHILE-RUNNING.png]\n");
        return 2;
    }
    // The window as the program itself shows it.
    ortholay::SetApplicationTitle(QStringLiteral("Ortholay"));
    const QString folder = QDir(arguments[1]).absolutePath();
    const QString picture = arguments[2];
    const QString runningPicture = arguments.size() == 4 ? arguments[3] : QString();

    TForm1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::fprintf(stderr, "ortholay-screenshot: the window was not shown\n");
        return 1;
    }
    if (!form.ShellTreeView1->SelectPath(folder)) {
        std::fprintf(stderr, "ortholay-screenshot: %s is not in the tree\n", qPrintable(folder));
        return 1;
    }
    // Let the tree read the levels it shows before the run starts.
    QTest::qWait(1500);
    form.ShellTreeView1->scrollTo(form.ShellTreeView1->currentIndex(),
                                  QAbstractItemView::PositionAtCenter);

    const auto grab = [&form](const QString& file) {
        QScreen* screen = form.screen();
        const QRect frame = form.frameGeometry();
        return screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).save(file);
    };

    QSignalSpy finished(&form, &TForm1::runFinished);
    QTest::mouseClick(form.LMDShapeButton3, Qt::LeftButton);
    if (!runningPicture.isEmpty()) {
        (void)QTest::qWaitFor(
            [&form] { return form.ProgressBar1->value() > 0 || !form.IsRunning(); },
            120000);
        QTest::qWait(100);
        if (!form.IsRunning()) {
            std::fprintf(stderr, "ortholay-screenshot: the run ended too soon for a picture\n");
        } else if (!grab(runningPicture)) {
            std::fprintf(stderr, "ortholay-screenshot: cannot write %s\n", qPrintable(runningPicture));
            return 1;
        }
    }
    if (!finished.wait(120000)) {
        std::fprintf(stderr, "ortholay-screenshot: the run did not end\n");
        return 1;
    }
    QTest::qWait(500);

    if (!grab(picture)) {
        std::fprintf(stderr, "ortholay-screenshot: cannot write %s\n", qPrintable(picture));
        return 1;
    }
    return 0;
}
