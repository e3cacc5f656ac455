// Helpers of the desktop program's widget tests: scratch folders with
// photographs, a recorder in place of the message box, a scripted save
// dialog, and waiting for a run.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/error_display.h"
#include "app/ortholay_application.h"
#include "app/save_dialog.h"
#include "app/shape_button.h"
#include "app/shell_tree_view.h"
#include "app/unit1.h"

class TForm1;

namespace ortholay::testing {

// Writes bytes to a file, creating it or replacing its content.
void WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

// A JPEG photograph of `width` x `height` pixels (a smooth pattern).
QByteArray TestJpeg(int width, int height);

// A world file's text: pixel sizes `a` and `e`, upper-left pixel at c, f.
QByteArray WorldFileText(double a, double e, double c, double f);

// Writes name.jpg and name.jgw into `folder`.
void WritePhoto(const QString& folder, const QString& name, int width = 16, int height = 12);

// Records every message box instead of showing it, for as long as it lives.
class MessageRecorder {
public:
    struct Message {
        QString caption;
        QString text;
    };

    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    const std::vector<Message>& messages() const { return messages_; }
    QStringList texts() const;
    void clear() { messages_.clear(); }

private:
    std::vector<Message> messages_;
    MessageBoxFunction previous_;
};

// A save dialog that answers from a script instead of showing itself.
class ScriptedSaveDialog : public SaveDialog {
public:
    explicit ScriptedSaveDialog(QWidget* owner) : SaveDialog(owner) {}

    // The next Execute chooses `fileName`, or cancels when it is empty.
    void ChooseNext(const std::optional<QString>& fileName) { choices_.push_back(fileName); }
    // The next ConfirmReplace answers `replace`.
    void AnswerNext(bool replace) { answers_.push_back(replace); }

    bool Execute() override;
    bool ConfirmReplace(const QString& fileName) override;

    // The file name the dialog opened with, at each Execute.
    const QStringList& openedWith() const { return openedWith_; }
    // The names ConfirmReplace was asked about.
    const QStringList& askedToReplace() const { return askedToReplace_; }

private:
    std::deque<std::optional<QString>> choices_;
    std::deque<bool> answers_;
    QStringList openedWith_;
    QStringList askedToReplace_;
};

// Gives the form a scripted save dialog and returns it (owned by the form).
ScriptedSaveDialog* UseScriptedSaveDialog(TForm1& form);

// Waits until the run started on the form has reached the window; false
// when it did not within a minute.
bool WaitForRun(TForm1& form);

// Selects a folder in the tree as a click would; false when it is not shown.
bool SelectFolder(TForm1& form, const QString& folder);

// The items of CheckListBox1 and whether each is ticked.
QStringList ListItems(const TForm1& form);
std::vector<bool> ListTicks(const TForm1& form);

}  // namespace ortholay::testing

// The main() of a widget test: the program's own application object, then
// the test class.
#define ORTHOLAY_APP_TEST_MAIN(TestClass)                          \
    int main(int argc, char** argv) {                              \
        ortholay::OrtholayApplication application(argc, argv);     \
        TestClass test;                                            \
        return QTest::qExec(&test, argc, argv);                    \
    }
