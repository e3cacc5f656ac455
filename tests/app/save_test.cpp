// Saving the document: the ".kml" rule, the dialog, the bytes written, the
// question before replacing, and failures that leave the old file intact.

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

#include "app/conversion_run.h"
#include "app/kml_file_name.h"
#include "app/memo_text.h"
#include "app/unit1.h"
#include "app_test_support.h"

using namespace ortholay::testing;

namespace {

// A run's document: UTF-8, CR LF after every line.
const QByteArray kDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<kml xmlns=\"http://earth.google.com/kml/2.0\">\r\n"
    "<Folder>\r\n"
    "  <name>92年台北東區航照</name>\r\n"
    "</Folder>\r\n"
    "</kml>\r\n";

// Lowers the largest file this process may write, so that a save runs out
// of room as on a full disk; restored when it goes.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

}  // namespace

class SaveTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        recorder_ = std::make_unique<MessageRecorder>();
        form_ = std::make_unique<TForm1>();
        dialog_ = UseScriptedSaveDialog(*form_);
        form_->show();
        form_->Memo1->setPlainText(ortholay::DocumentToMemoText(kDocument.toStdString()));
    }

    void cleanup() {
        form_.reset();
        recorder_.reset();
    }

    // ---- the ".kml" rule ----------------------------------------------------

    void kmlFileName_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("no extension") << "/data/result" << "/data/result.kml";
        QTest::newRow("other extension") << "/data/result.txt" << "/data/result.kml";
        QTest::newRow("kml") << "/data/result.kml" << "/data/result.kml";
        QTest::newRow("KML kept as chosen") << "/data/result.KML" << "/data/result.KML";
        QTest::newRow("Kml kept as chosen") << "/data/result.Kml" << "/data/result.Kml";
        QTest::newRow("only the last extension goes") << "/data/a.txt.txt" << "/data/a.txt.kml";
        QTest::newRow("long extension") << "/data/photo.jpeg" << "/data/photo.kml";
        QTest::newRow("short extension") << "/data/notes.c" << "/data/notes.kml";
        QTest::newRow("a dot in the folder") << "/maps.txt/result.txt" << "/maps.txt/result.kml";
        QTest::newRow("a dot in the folder only") << "/maps.old/result" << "/maps.old/result.kml";
        QTest::newRow("a lone final dot") << "/data/result." << "/data/result.kml";
        QTest::newRow("kml as a name") << "/data/kml" << "/data/kml.kml";
        QTest::newRow("near miss") << "/data/result.kmz" << "/data/result.kml";
        QTest::newRow("Chinese name") << "/資料/航照.txt" << "/資料/航照.kml";
        QTest::newRow("only A to Z fold") << "/data/x.ＫML" << "/data/x.kml";
    }

    void kmlFileName() {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        QCOMPARE(QString::fromStdString(ortholay::KmlFileName(chosen.toStdString())), written);
    }

    // ---- the dialog ---------------------------------------------------------

    void fileDialogSettings() {
        QTemporaryDir scratch;
        ortholay::SaveDialog dialog(nullptr);
        dialog.SetFileName(scratch.filePath("result.kml"));
        const std::unique_ptr<QFileDialog> shown = dialog.CreateFileDialog();
        QCOMPARE(shown->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(shown->nameFilters(), QStringList{"kml (*.kml)"});
        QVERIFY(shown->testOption(QFileDialog::HideNameFilterDetails));
        QVERIFY(!shown->testOption(QFileDialog::DontConfirmOverwrite));
        QVERIFY(shown->defaultSuffix().isEmpty());
        QVERIFY(shown->isSizeGripEnabled());
        QCOMPARE(shown->directory().absolutePath(), scratch.path());
        QCOMPARE(shown->selectedFiles(), QStringList{scratch.filePath("result.kml")});
    }

    void savesUnderTheKmlName_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("result") << "result" << "result.kml";
        QTest::newRow("result.txt") << "result.txt" << "result.kml";
        QTest::newRow("result.KML") << "result.KML" << "result.KML";
        QTest::newRow("a.txt.txt") << "a.txt.txt" << "a.txt.kml";
    }

    void savesUnderTheKmlName() {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        QTemporaryDir scratch;
        dialog_->ChooseNext(scratch.filePath(chosen));
        form_->LMDShapeButton4->click();
        QVERIFY(recorder_->messages().empty());
        QCOMPARE(QDir(scratch.path()).entryList(QDir::Files), QStringList{written});
        QCOMPARE(ReadFile(scratch.filePath(written)), kDocument);
        QCOMPARE(dialog_->FileName(), scratch.filePath(written));
    }

    void theNextSaveOffersTheNameWritten() {
        QTemporaryDir scratch;
        dialog_->ChooseNext(scratch.filePath("first.txt"));
        dialog_->ChooseNext(std::nullopt);
        form_->LMDShapeButton4->click();
        form_->LMDShapeButton4->click();
        QCOMPARE(dialog_->openedWith(),
                 (QStringList{QString(), scratch.filePath("first.kml")}));
    }

    void cancellingWritesNothing() {
        QTemporaryDir scratch;
        WriteFile(scratch.filePath("result.kml"), "old");
        dialog_->SetFileName(scratch.filePath("result.kml"));
        dialog_->ChooseNext(std::nullopt);
        form_->LMDShapeButton4->click();
        QCOMPARE(ReadFile(scratch.filePath("result.kml")), QByteArray("old"));
        QCOMPARE(QDir(scratch.path()).entryList(QDir::Files), QStringList{"result.kml"});
        QCOMPARE(dialog_->FileName(), scratch.filePath("result.kml"));
        QVERIFY(recorder_->messages().empty());
    }

    // ---- the bytes written --------------------------------------------------

    void savedBytesAreTheDocument_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::newRow("a run's document") << kDocument;
        QTest::newRow("no line end after the last line")
            << QByteArray("<kml>\r\n</kml>");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("a single line end") << QByteArray("\r\n");
        QTest::newRow("empty lines") << QByteArray("a\r\n\r\n\r\nb\r\n\r\n");
        QTest::newRow("no-break space, tab, line separator, astral character")
            << QByteArray("<name>a\xC2\xA0" "b\tc\xE2\x80\xA8" "d \xF0\x9F\x97\xBA</name>\r\n");
        QTest::newRow("spaces at line ends") << QByteArray("  <a>  \r\n \r\n");
    }

    void savedBytesAreTheDocument() {
        QFETCH(QByteArray, document);
        QTemporaryDir scratch;
        form_->Memo1->setPlainText(ortholay::DocumentToMemoText(document.toStdString()));
        dialog_->ChooseNext(scratch.filePath("out.kml"));
        form_->LMDShapeButton4->click();
        QVERIFY(recorder_->messages().empty());
        QCOMPARE(ReadFile(scratch.filePath("out.kml")), document);
    }

    void aRunsDocumentSavesByteForByte() {
        QTemporaryDir scratch;
        WritePhoto(scratch.path(), "航照01");
        WritePhoto(scratch.path(), "a02");
        QVERIFY(SelectFolder(*form_, scratch.path()));
        form_->LMDShapeButton3->click();
        QVERIFY(WaitForRun(*form_));
        QVERIFY(recorder_->messages().empty());
        const std::string document = ortholay::RunConversion(form_->ReadRunSettings());
        dialog_->ChooseNext(scratch.filePath("out"));
        form_->LMDShapeButton4->click();
        const QByteArray saved = ReadFile(scratch.filePath("out.kml"));
        QCOMPARE(saved, QByteArray::fromStdString(document));
        QVERIFY(saved.endsWith("</kml>\r\n"));
    }

    void editsAreSavedWithCrLf() {
        QTemporaryDir scratch;
        form_->Memo1->setPlainText(ortholay::DocumentToMemoText("<a>\r\n"));
        form_->Memo1->moveCursor(QTextCursor::End);
        form_->Memo1->setFocus();
        QTest::keyClicks(form_->Memo1, "<b/>");
        QTest::keyClick(form_->Memo1, Qt::Key_Return);
        QTest::keyClicks(form_->Memo1, "<c/>");
        // Shift+Enter breaks the line like Enter.
        QTest::keyClick(form_->Memo1, Qt::Key_Return, Qt::ShiftModifier);
        QTest::sendKeyEvent(QTest::Click, form_->Memo1, Qt::Key_unknown, QStringLiteral("航照"),
                            Qt::NoModifier);
        dialog_->ChooseNext(scratch.filePath("out.kml"));
        form_->LMDShapeButton4->click();
        QCOMPARE(ReadFile(scratch.filePath("out.kml")), QByteArray("<a>\r\n<b/>\r\n<c/>\r\n航照"));
    }

    // ---- replacing a file ---------------------------------------------------

    void replacingAFile_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("replaced");
        // The dialog itself asked about the name as chosen.
        QTest::newRow("chosen as it is") << "result.kml" << false << false << true;
        QTest::newRow(".kml added, replace") << "result" << true << true << true;
        QTest::newRow(".kml added, keep") << "result" << true << false << false;
        QTest::newRow("extension replaced, keep") << "result.txt" << true << false << false;
    }

    void replacingAFile() {
        QFETCH(QString, chosen);
        QFETCH(bool, asked);
        QFETCH(bool, answer);
        QFETCH(bool, replaced);
        QTemporaryDir scratch;
        WriteFile(scratch.filePath("result.kml"), "old");
        dialog_->ChooseNext(scratch.filePath(chosen));
        dialog_->AnswerNext(answer);
        form_->LMDShapeButton4->click();
        QCOMPARE(dialog_->askedToReplace(),
                 asked ? QStringList{scratch.filePath("result.kml")} : QStringList{});
        QCOMPARE(ReadFile(scratch.filePath("result.kml")), replaced ? kDocument : QByteArray("old"));
        QVERIFY(recorder_->messages().empty());
    }

    void noQuestionForANewFile() {
        QTemporaryDir scratch;
        dialog_->ChooseNext(scratch.filePath("result"));
        form_->LMDShapeButton4->click();
        QVERIFY(dialog_->askedToReplace().isEmpty());
        QCOMPARE(ReadFile(scratch.filePath("result.kml")), kDocument);
    }

    // ---- failures -----------------------------------------------------------

    void cannotCreate_data() {
        QTest::addColumn<QString>("chosen");   // relative to the scratch folder
        QTest::addColumn<QString>("named");    // the file the message names
        QTest::newRow("missing folder") << "missing/result.txt" << "missing/result.kml";
        QTest::newRow("a folder of that name") << "taken.kml" << "taken.kml";
        QTest::newRow("read-only file") << "readonly" << "readonly.kml";
    }

    void cannotCreate() {
        QFETCH(QString, chosen);
        QFETCH(QString, named);
        QTemporaryDir scratch;
        QVERIFY(QDir(scratch.path()).mkdir("taken.kml"));
        const QString readOnly = scratch.filePath("readonly.kml");
        WriteFile(readOnly, "old");
        QVERIFY(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        dialog_->ChooseNext(scratch.filePath(chosen));
        dialog_->AnswerNext(true);

        form_->LMDShapeButton4->click();
        QCOMPARE(recorder_->texts(), QStringList{"Cannot create file " + scratch.filePath(named) + "."});
        QCOMPARE(recorder_->messages().front().caption, ortholay::ApplicationTitle());
        QCOMPARE(ReadFile(readOnly), QByteArray("old"));
        QCOMPARE(dialog_->FileName(), scratch.filePath(named));
        // Nothing was left behind, and the window goes on.
        QCOMPARE(QDir(scratch.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{"readonly.kml", "taken.kml"}));
        QVERIFY(form_->LMDShapeButton4->isEnabled());
        QVERIFY(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner));
    }

    void aFullDiskLeavesTheOldFile() {
        QTemporaryDir scratch;
        const QString target = scratch.filePath("result.kml");
        WriteFile(target, "old");
        QByteArray large;
        for (int i = 0; i < 4000; ++i) {
            large += "<Placemark>航照</Placemark>\r\n";
        }
        form_->Memo1->setPlainText(ortholay::DocumentToMemoText(large.toStdString()));
        dialog_->ChooseNext(target);
        {
            const FileSizeLimit limit(4096);
            form_->LMDShapeButton4->click();
        }
        QCOMPARE(recorder_->texts(), QStringList{"Stream write error."});
        QCOMPARE(ReadFile(target), QByteArray("old"));
        QCOMPARE(QDir(scratch.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"result.kml"});

        // Once there is room again the same save works.
        dialog_->ChooseNext(target);
        form_->LMDShapeButton4->click();
        QCOMPARE(recorder_->messages().size(), std::size_t{1});
        QCOMPARE(ReadFile(target), large);
    }

private:
    std::unique_ptr<MessageRecorder> recorder_;
    std::unique_ptr<TForm1> form_;
    ScriptedSaveDialog* dialog_ = nullptr;
};

ORTHOLAY_APP_TEST_MAIN(SaveTest)

#include "save_test.moc"
