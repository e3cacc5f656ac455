// The main window: its controls as designed, the folder listing, tick all
// and untick all, the folder tree, and the conversion run on its worker.

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QGroupBox>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "app/conversion_run.h"
#include "app/labeled_edit.h"
#include "app/memo_text.h"
#include "app/shape_button.h"
#include "app/shell_tree_view.h"
#include "app/unit1.h"
#include "app_test_support.h"

using namespace ortholay::testing;

namespace {

// The folder that the tree shows as a folder of `parent` named `name`.
QStringList ChildNames(ortholay::ShellTreeView& tree, const QString& folder) {
    QStringList names;
    const QModelIndex parent = tree.IndexOfPath(folder);
    for (int row = 0; row < tree.model()->rowCount(parent); ++row) {
        names << tree.model()->index(row, 0, parent).data().toString();
    }
    return names;
}

// Waits until the tree has read the folders inside `folder`.
bool WaitForFolder(ortholay::ShellTreeView& tree, const QString& folder, int expectedChildren) {
    return QTest::qWaitFor(
        [&] { return tree.model()->rowCount(tree.IndexOfPath(folder)) == expectedChildren; },
        20000);
}

QList<QWidget*> FocusChain(TForm1& form) {
    QList<QWidget*> chain;
    QWidget* widget = form.ShellTreeView1;
    do {
        if (widget->focusPolicy() & Qt::TabFocus) {
            chain << widget;
        }
        widget = widget->nextInFocusChain();
    } while (widget != form.ShellTreeView1 && chain.size() < 50);
    return chain;
}

}  // namespace

class Unit1Test : public QObject {
    Q_OBJECT

private slots:
    // The tree's order is the locale's: these tests sort as in English.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanupTestCase() { QLocale::setDefault(QLocale::system()); }

    void init() {
        recorder_ = std::make_unique<MessageRecorder>();
        form_ = std::make_unique<TForm1>();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

    void cleanup() {
        form_.reset();
        recorder_.reset();
    }

    // ---- the window as designed ------------------------------------------

    void designedControls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::newRow("ProgressBar1") << "ProgressBar1" << QRect(0, 650, 902, 16) << "";
        QTest::newRow("GroupBox1") << "GroupBox1" << QRect(0, 0, 537, 650) << "";
        QTest::newRow("GroupBox4") << "GroupBox4" << QRect(2, 15, 533, 226) << "";
        QTest::newRow("LabeledEdit1") << "LabeledEdit1" << QRect(8, 24, 233, 21) << "92年台北東區航照";
        QTest::newRow("LabeledEdit2") << "LabeledEdit2" << QRect(288, 24, 217, 21) << "/";
        QTest::newRow("LabeledEdit3") << "LabeledEdit3" << QRect(8, 144, 121, 21) << "800";
        QTest::newRow("LabeledEdit4") << "LabeledEdit4" << QRect(136, 144, 121, 21) << "800";
        QTest::newRow("LMDShapeButton1") << "LMDShapeButton1" << QRect(288, 176, 81, 33) << "全選";
        QTest::newRow("LMDShapeButton2") << "LMDShapeButton2" << QRect(416, 176, 81, 33) << "全不選";
        QTest::newRow("ShellTreeView1") << "ShellTreeView1" << QRect(2, 241, 271, 407) << "";
        QTest::newRow("CheckListBox1") << "CheckListBox1" << QRect(273, 241, 262, 407) << "";
        QTest::newRow("GroupBox3") << "GroupBox3" << QRect(537, 0, 365, 650) << "";
        QTest::newRow("Memo1") << "Memo1" << QRect(8, 16, 345, 513) << "";
        QTest::newRow("LMDShapeButton3") << "LMDShapeButton3" << QRect(120, 552, 153, 33)
                                         << "執行 按我就對了";
        QTest::newRow("LMDShapeButton4") << "LMDShapeButton4" << QRect(120, 600, 153, 33)
                                         << "按我將結果存檔";
    }

    void designedControls() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        auto* control = form_->findChild<QWidget*>(name);
        QVERIFY2(control != nullptr, qPrintable(name));
        QCOMPARE(control->geometry(), geometry);
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            QCOMPARE(edit->text(), text);
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            QCOMPARE(button->text(), text);
        }
    }

    void designedWindow() {
        QCOMPARE(form_->size(), QSize(902, 666));
        QCOMPARE(form_->pos(), QPoint(143, 100));
        QCOMPARE(form_->font().families().first(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(form_->font().pixelSize(), 11);
        QVERIFY(form_->windowTitle().contains(QStringLiteral("KML")));
        QCOMPARE(form_->ProgressBar1->minimum(), 0);
        QCOMPARE(form_->ProgressBar1->maximum(), 100);
        QCOMPARE(form_->ProgressBar1->value(), 0);
        QVERIFY(!form_->CheckBox1->isChecked());
        QVERIFY(!form_->CheckBox2->isChecked());
        QCOMPARE(form_->CheckBox1->text(), QStringLiteral("是否將TWD97之TM2轉成WGS84經緯度"));
        QCOMPARE(form_->CheckBox2->text(), QStringLiteral("是否將影像進行多張裁切,以利最佳效果"));
        QCOMPARE(form_->CheckBox1->font().families().first(), QStringLiteral("新細明體"));
        QCOMPARE(form_->CheckBox1->font().pixelSize(), 13);
        QVERIFY(form_->Memo1->toPlainText().isEmpty());
        QCOMPARE(form_->Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(form_->ShellTreeView1->font().families().first(), QStringLiteral("新細明體"));
        QCOMPARE(form_->ShellTreeView1->font().pixelSize(), 12);
        QCOMPARE(form_->ShellTreeView1->indentation(), 19);
        QVERIFY(!form_->ShellTreeView1->rootIsDecorated());
    }

    void labelsSitAboveOrBelowTheirBoxes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("above");
        QTest::addColumn<QString>("family");
        QTest::newRow("LabeledEdit1") << "LabeledEdit1" << "標題" << true << "細明體";
        QTest::newRow("LabeledEdit2") << "LabeledEdit2" << "路徑(可自行修改成URL)" << true << "細明體";
        QTest::newRow("LabeledEdit3") << "LabeledEdit3" << "裁切寬度" << false << "新細明體";
        QTest::newRow("LabeledEdit4") << "LabeledEdit4" << "裁切高度" << false << "新細明體";
    }

    void labelsSitAboveOrBelowTheirBoxes() {
        QFETCH(QString, name);
        QFETCH(QString, label);
        QFETCH(bool, above);
        QFETCH(QString, family);
        auto* edit = form_->findChild<ortholay::LabeledEdit*>(name);
        QVERIFY(edit != nullptr);
        const QLabel* caption = edit->EditLabel();
        QCOMPARE(caption->text(), label);
        QCOMPARE(caption->font().families().first(), family);
        QCOMPARE(caption->font().pixelSize(), 13);
        QCOMPARE(caption->x(), edit->x());
        if (above) {
            QCOMPARE(caption->geometry().bottom() + 1 + 3, edit->y());
        } else {
            QCOMPARE(caption->y(), edit->geometry().bottom() + 1 + 3);
        }
        // The whole caption is shown.
        QVERIFY(caption->width() >= caption->sizeHint().width());
        QVERIFY(caption->parentWidget()->rect().contains(caption->geometry()));
    }

    void checkBoxCaptionsAreNotCut() {
        for (QCheckBox* box : {form_->CheckBox1, form_->CheckBox2}) {
            QVERIFY(box->width() >= box->sizeHint().width());
            QVERIFY(form_->GroupBox4->rect().contains(box->geometry()));
        }
    }

    void keyboardOrder() {
        const QList<QWidget*> expected = {
            form_->ShellTreeView1, form_->CheckListBox1, form_->LabeledEdit1, form_->LabeledEdit2,
            form_->CheckBox1,      form_->CheckBox2,     form_->LabeledEdit3, form_->LabeledEdit4,
            form_->Memo1,
        };
        QCOMPARE(FocusChain(*form_), expected);
    }

    void shapeButtonsNeverTakeTheFocus() {
        for (ortholay::ShapeButton* button : {form_->LMDShapeButton1, form_->LMDShapeButton2,
                                              form_->LMDShapeButton3, form_->LMDShapeButton4}) {
            QCOMPARE(button->focusPolicy(), Qt::NoFocus);
            QVERIFY(button->shortcut().isEmpty());
            form_->LabeledEdit1->setFocus();
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(!button->hasFocus());
        }
    }

    // The greyed half of the picture is drawn while a button is disabled:
    // the run button's green triangle is gone then.
    void shapeButtonsShowTheirGreyedPictureWhenDisabled() {
        const auto hasGreenPicturePixel = [](const QImage& image) {
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (image.pixelColor(x, y) == QColor(0, 128, 0)) {
                        return true;
                    }
                }
            }
            return false;
        };
        ortholay::ShapeButton* button = form_->LMDShapeButton3;
        QVERIFY(hasGreenPicturePixel(button->grab().toImage()));
        button->setEnabled(false);
        QVERIFY(!hasGreenPicturePixel(button->grab().toImage()));
        QCOMPARE(button->picture(true).size(), QSize(16, 16));
        QVERIFY(button->picture(true).toImage() != button->picture(false).toImage());
    }

    // ---- start-up ---------------------------------------------------------

    void startsOnTheRootExpandedAndSelected() {
        const QModelIndex root = form_->ShellTreeView1->IndexOfPath("/");
        QVERIFY(root.isValid());
        QVERIFY(!root.parent().isValid());
        QVERIFY(form_->ShellTreeView1->isExpanded(root));
        QVERIFY(!root.data(Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(form_->ShellTreeView1->Path(), QStringLiteral("/"));
        QCOMPARE(form_->LabeledEdit2->text(), QStringLiteral("/"));
        // The root's own world files, as an independent listing finds them.
        QStringList expected = QDir("/").entryList(
            {"*.jgw"}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
            QDir::Name | QDir::IgnoreCase);
        QCOMPARE(ListItems(*form_), expected);
    }

    // ---- the folder listing -----------------------------------------------

    void listing_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("letter case is ignored, folders and hidden entries count")
            << QStringList{"b.jgw", "A.JGW", "a.jpg", ".hidden.jgw", "c.Jgw", "d.jgw.txt", "e.jgwx"}
            << QStringList{"old.jgw", "sub"}
            << QStringList{".hidden.jgw", "A.JGW", "b.jgw", "c.Jgw", "old.jgw"};
        QTest::newRow("no world files") << QStringList{"a.jpg", "notes.txt"} << QStringList{"x"}
                                        << QStringList{};
        QTest::newRow("Chinese names") << QStringList{"航照二.jgw", "航照一.jgw"} << QStringList{}
                                       << QStringList{"航照一.jgw", "航照二.jgw"};
    }

    void listing() {
        QFETCH(QStringList, files);
        QFETCH(QStringList, folders);
        QFETCH(QStringList, expected);
        QTemporaryDir scratch;
        for (const QString& file : files) {
            WriteFile(scratch.filePath(file), "x");
        }
        for (const QString& folder : folders) {
            QVERIFY(QDir(scratch.path()).mkdir(folder));
        }
        // World files of subfolders are not listed.
        if (folders.contains("sub")) {
            WriteFile(scratch.filePath("sub/deeper.jgw"), "x");
        }

        form_->LabeledEdit2->setText("edited by hand");
        QVERIFY(SelectFolder(*form_, scratch.path()));
        QCOMPARE(form_->ShellTreeView1->Path(), scratch.path());
        QCOMPARE(ListItems(*form_), expected);
        QCOMPARE(ListTicks(*form_), std::vector<bool>(static_cast<std::size_t>(expected.size()), true));
        QCOMPARE(form_->LabeledEdit2->text(), scratch.path() + "/");
        QVERIFY(recorder_->messages().empty());
    }

    void listingStartsAfreshOnEverySelection() {
        QTemporaryDir first;
        QTemporaryDir second;
        WritePhoto(first.path(), "a01");
        WritePhoto(first.path(), "a02");
        QVERIFY(SelectFolder(*form_, first.path()));
        form_->CheckListBox1->item(0)->setCheckState(Qt::Unchecked);
        QVERIFY(SelectFolder(*form_, second.path()));
        QVERIFY(ListItems(*form_).isEmpty());
        QCOMPARE(form_->LabeledEdit2->text(), second.path() + "/");
        // A file added while the folder is shown does not appear by itself.
        QVERIFY(SelectFolder(*form_, first.path()));
        WritePhoto(first.path(), "a03");
        QCOMPARE(ListItems(*form_), (QStringList{"a01.jgw", "a02.jgw"}));
        QCOMPARE(ListTicks(*form_), (std::vector<bool>{true, true}));
    }

    void tickAllAndUntickAll() {
        QTemporaryDir scratch;
        for (const char* name : {"c", "a", "b"}) {
            WritePhoto(scratch.path(), name);
        }
        QVERIFY(SelectFolder(*form_, scratch.path()));
        form_->CheckListBox1->item(1)->setCheckState(Qt::Unchecked);
        QTest::mouseClick(form_->LMDShapeButton2, Qt::LeftButton);
        QCOMPARE(ListTicks(*form_), (std::vector<bool>{false, false, false}));
        form_->CheckListBox1->item(2)->setCheckState(Qt::Checked);
        QTest::mouseClick(form_->LMDShapeButton1, Qt::LeftButton);
        QCOMPARE(ListTicks(*form_), (std::vector<bool>{true, true, true}));
        QCOMPARE(ListItems(*form_), (QStringList{"a.jgw", "b.jgw", "c.jgw"}));

        // On an empty list both change nothing.
        QTemporaryDir empty;
        QVERIFY(SelectFolder(*form_, empty.path()));
        QTest::mouseClick(form_->LMDShapeButton1, Qt::LeftButton);
        QTest::mouseClick(form_->LMDShapeButton2, Qt::LeftButton);
        QCOMPARE(form_->CheckListBox1->count(), 0);
        QVERIFY(recorder_->messages().empty());
    }

    // ---- the folder tree --------------------------------------------------

    void treeShowsFoldersOnlyInTextOrder() {
        QTemporaryDir scratch;
        const QStringList folders = {"file9", "file10", "Beta", "alpha", ".hidden"};
        for (const QString& folder : folders) {
            QVERIFY(QDir(scratch.path()).mkdir(folder));
        }
        WriteFile(scratch.filePath("a.jgw"), "x");
        ortholay::ShellTreeView& tree = *form_->ShellTreeView1;
        QVERIFY(SelectFolder(*form_, scratch.path()));
        tree.expand(tree.IndexOfPath(scratch.path()));
        QVERIFY(WaitForFolder(tree, scratch.path(), 4));
        const QStringList shown = ChildNames(tree, scratch.path());
        // No file, no hidden folder; "file10" before "file9" as a plain text
        // comparison has it (the file model's own order is the reverse).
        QCOMPARE(QSet<QString>(shown.begin(), shown.end()),
                 (QSet<QString>{"file9", "file10", "Beta", "alpha"}));
        QVERIFY(shown.indexOf("file10") < shown.indexOf("file9"));
        QVERIFY(shown.indexOf("alpha") < shown.indexOf("Beta"));
        QVERIFY(shown.indexOf("Beta") < shown.indexOf("file10"));
        // The selection stayed where it was.
        QCOMPARE(tree.Path(), scratch.path());

        // A level opened later is sorted too, and the levels above stay so.
        QVERIFY(QDir(scratch.path()).mkpath("alpha/z"));
        QVERIFY(QDir(scratch.path()).mkpath("alpha/Y10"));
        QVERIFY(QDir(scratch.path()).mkpath("alpha/Y9"));
        const QString alpha = scratch.filePath("alpha");
        tree.expand(tree.IndexOfPath(alpha));
        QVERIFY(WaitForFolder(tree, alpha, 3));
        const QStringList inner = ChildNames(tree, alpha);
        QVERIFY(inner.indexOf("Y10") < inner.indexOf("Y9"));
        QVERIFY(inner.indexOf("Y9") < inner.indexOf("z"));
        QCOMPARE(ChildNames(tree, scratch.path()), shown);
    }

    void rightClickLeavesTheSelectionAlone() {
        QTemporaryDir scratch;
        QVERIFY(QDir(scratch.path()).mkdir("one"));
        QVERIFY(QDir(scratch.path()).mkdir("two"));
        WritePhoto(scratch.filePath("one"), "a01");
        ortholay::ShellTreeView& tree = *form_->ShellTreeView1;
        QVERIFY(SelectFolder(*form_, scratch.filePath("one")));
        QVERIFY(WaitForFolder(tree, scratch.path(), 2));
        const QModelIndex two = tree.IndexOfPath(scratch.filePath("two"));
        tree.scrollTo(two);
        const QPoint where = tree.visualRect(two).center();
        QVERIFY(tree.viewport()->rect().contains(where));
        QTest::mousePress(tree.viewport(), Qt::RightButton, {}, where);
        QTest::mouseRelease(tree.viewport(), Qt::RightButton, {}, where);
        QCOMPARE(tree.Path(), scratch.filePath("one"));
        QCOMPARE(ListItems(*form_), QStringList{"a01.jgw"});

        // The menu offers to open the folder and to copy its path.
        std::unique_ptr<QMenu> menu(tree.CreateFolderMenu(scratch.filePath("two"), nullptr));
        const QList<QAction*> actions = menu->actions();
        QCOMPARE(actions.size(), 2);
        QCOMPARE(actions[0]->text(), QStringLiteral("在檔案管理員中開啟"));
        QCOMPARE(actions[1]->text(), QStringLiteral("複製路徑"));
        actions[1]->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), scratch.filePath("two"));
        QCOMPARE(tree.Path(), scratch.filePath("one"));
    }

    // ---- the conversion run -----------------------------------------------

    void runShowsTheDocument() {
        QTemporaryDir scratch;
        for (const char* name : {"a01", "a02", "a03"}) {
            WritePhoto(scratch.path(), name);
        }
        QVERIFY(SelectFolder(*form_, scratch.path()));
        form_->CheckListBox1->item(1)->setCheckState(Qt::Unchecked);
        form_->LabeledEdit1->setText("航照 & 圖");
        form_->LabeledEdit2->setText("http://example.org/aerial/");
        form_->CheckBox1->setChecked(true);
        form_->Memo1->setPlainText("the last document");
        form_->ProgressBar1->setValue(100);
        QSignalSpy positions(form_->ProgressBar1, &QProgressBar::valueChanged);

        QTest::mouseClick(form_->LMDShapeButton3, Qt::LeftButton);
        // Until the run has ended: the text area empty, every input disabled.
        QVERIFY(form_->IsRunning());
        QVERIFY(form_->Memo1->toPlainText().isEmpty());
        for (QWidget* input : std::initializer_list<QWidget*>{
                 form_->ShellTreeView1, form_->CheckListBox1, form_->LabeledEdit1,
                 form_->LabeledEdit2, form_->CheckBox1, form_->CheckBox2, form_->LabeledEdit3,
                 form_->LabeledEdit4, form_->LMDShapeButton1, form_->LMDShapeButton2,
                 form_->Memo1, form_->LMDShapeButton3, form_->LMDShapeButton4}) {
            QVERIFY2(!input->isEnabled(), qPrintable(input->objectName()));
        }
        QVERIFY(WaitForRun(*form_));

        ortholay::RunSettings expected;
        expected.title = "航照 & 圖";
        expected.entries = {{"a01.jgw", true}, {"a02.jgw", false}, {"a03.jgw", true}};
        expected.folder = scratch.path().toStdString();
        expected.hrefPrefix = "http://example.org/aerial/";
        expected.convertOption = true;
        const std::string document = ortholay::RunConversion(expected);
        QCOMPARE(ortholay::MemoTextToDocument(*form_->Memo1->document()),
                 QByteArray::fromStdString(document));
        QVERIFY(form_->Memo1->toPlainText().contains("http://example.org/aerial/a03.jpg"));
        QVERIFY(!form_->Memo1->toPlainText().contains("a02.jpg"));

        QList<int> moves;
        for (const QList<QVariant>& move : positions) {
            moves << move.first().toInt();
        }
        QCOMPARE(moves, (QList<int>{0, 33, 66, 100}));
        QVERIFY(form_->LMDShapeButton3->isEnabled());
        QVERIFY(form_->Memo1->isEnabled());
        QVERIFY(form_->ShellTreeView1->isEnabled());
        QVERIFY(recorder_->messages().empty());
    }

    void runWithoutEntries() {
        QTemporaryDir scratch;
        QVERIFY(SelectFolder(*form_, scratch.path()));
        QTest::mouseClick(form_->LMDShapeButton3, Qt::LeftButton);
        QVERIFY(WaitForRun(*form_));
        const QStringList lines = form_->Memo1->toPlainText().split('\n');
        QCOMPARE(lines.size(), 7);  // six lines, each ended
        QVERIFY(lines.last().isEmpty());
        QCOMPARE(form_->ProgressBar1->value(), 100);
    }

    void runFailure_data() {
        QTest::addColumn<QString>("cutWidth");
        QTest::addColumn<QString>("cutHeight");
        QTest::addColumn<QString>("broken");    // which photo is spoilt, and how
        QTest::addColumn<QString>("message");   // %1: the folder
        QTest::addColumn<int>("position");
        QTest::newRow("second photograph missing")
            << "800" << "800" << "a02.jpg:missing" << "Cannot open file %1/a02.jpg." << 50;
        QTest::newRow("first world file missing")
            << "800" << "800" << "a01.jgw:missing" << "Cannot open file %1/a01.jgw." << 0;
        QTest::newRow("bad number in the world file")
            << "800" << "800" << "a02.jgw:0.5\n0\n0\n-0.5\n30x5000\n2771000\n"
            << "'30x5000' is not a valid floating point value." << 50;
        QTest::newRow("world file too short")
            << "800" << "800" << "a01.jgw:0.5\n0\n0\n" << "List index out of bounds (4)" << 0;
        QTest::newRow("both cut sizes bad, the height is named")
            << "abc" << "12a" << "" << "'12a' is not a valid integer value." << 0;
        QTest::newRow("bad cut width without the cut option")
            << "abc" << "800" << "" << "'abc' is not a valid integer value." << 0;
    }

    void runFailure() {
        QFETCH(QString, cutWidth);
        QFETCH(QString, cutHeight);
        QFETCH(QString, broken);
        QFETCH(QString, message);
        QFETCH(int, position);
        QTemporaryDir scratch;
        WritePhoto(scratch.path(), "a01");
        WritePhoto(scratch.path(), "a02");
        // Spoilt after the listing, so that a missing world file is still
        // on the list.
        QVERIFY(SelectFolder(*form_, scratch.path()));
        if (!broken.isEmpty()) {
            const QString file = broken.section(':', 0, 0);
            const QString content = broken.section(':', 1);
            if (content == "missing") {
                QVERIFY(QFile::remove(scratch.filePath(file)));
            } else {
                WriteFile(scratch.filePath(file), content.toUtf8());
            }
        }
        form_->LabeledEdit3->setText(cutWidth);
        form_->LabeledEdit4->setText(cutHeight);
        form_->Memo1->setPlainText("the last document");
        form_->ProgressBar1->setValue(100);

        QTest::mouseClick(form_->LMDShapeButton3, Qt::LeftButton);
        QVERIFY(WaitForRun(*form_));
        QCOMPARE(recorder_->texts(), QStringList{QString(message).replace("%1", scratch.path())});
        QCOMPARE(recorder_->messages().front().caption, ortholay::ApplicationTitle());
        QVERIFY(form_->Memo1->toPlainText().isEmpty());
        QCOMPARE(form_->ProgressBar1->value(), position);
        // The tree noticing the spoilt file does not list the folder again.
        QCOMPARE(ListItems(*form_), (QStringList{"a01.jgw", "a02.jgw"}));
        // The window goes on: a second run is possible and fails the same way.
        QVERIFY(form_->LMDShapeButton3->isEnabled());
        QTest::mouseClick(form_->LMDShapeButton3, Qt::LeftButton);
        QVERIFY(WaitForRun(*form_));
        QCOMPARE(recorder_->messages().size(), std::size_t{2});
    }

    void closingDuringARunStopsIt() {
        QTemporaryDir scratch;
        for (int i = 0; i < 6; ++i) {
            WritePhoto(scratch.path(), QStringLiteral("big%1").arg(i), 1200, 900);
        }
        QVERIFY(SelectFolder(*form_, scratch.path()));
        form_->CheckBox2->setChecked(true);
        form_->LabeledEdit3->setText("100");
        form_->LabeledEdit4->setText("100");
        QTest::mouseClick(form_->LMDShapeButton3, Qt::LeftButton);
        QVERIFY(form_->IsRunning());
        QVERIFY(form_->close());
        // Whether the run was stopped or had just ended, nothing is shown.
        QVERIFY(WaitForRun(*form_));
        QVERIFY(recorder_->messages().empty());
        form_.reset();
    }

private:
    std::unique_ptr<MessageRecorder> recorder_;
    std::unique_ptr<TForm1> form_;
};

ORTHOLAY_APP_TEST_MAIN(Unit1Test)

#include "unit1_test.moc"
