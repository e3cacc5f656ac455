// Unit1: the main window, TForm1 (its one instance is Form1). It holds every
// setting between two actions and wires each control to its handler; the
// work below the handlers is the core's (folder listing, conversion run) and
// the save's.
#pragma once

#include <QFutureWatcher>
#include <QPointer>
#include <QWidget>

#include <atomic>
#include <exception>
#include <memory>
#include <string>

#include "app/conversion_run.h"

class QCheckBox;
class QGroupBox;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;

namespace ortholay {
class LabeledEdit;
class SaveDialog;
class ShapeButton;
class ShellTreeView;
}  // namespace ortholay

class TForm1 : public QWidget {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The controls, under their designer names.
    QProgressBar* ProgressBar1;
    QGroupBox* GroupBox1;
    QGroupBox* GroupBox4;
    ortholay::LabeledEdit* LabeledEdit1;
    ortholay::LabeledEdit* LabeledEdit2;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    ortholay::LabeledEdit* LabeledEdit3;
    ortholay::LabeledEdit* LabeledEdit4;
    ortholay::ShapeButton* LMDShapeButton1;
    ortholay::ShapeButton* LMDShapeButton2;
    ortholay::ShellTreeView* ShellTreeView1;
    QListWidget* CheckListBox1;
    QGroupBox* GroupBox3;
    QPlainTextEdit* Memo1;
    ortholay::ShapeButton* LMDShapeButton3;
    ortholay::ShapeButton* LMDShapeButton4;
    std::unique_ptr<ortholay::SaveDialog> SaveDialog1;

    // The handlers. Each may throw an ortholay::Error; the controls call
    // them through RunHandler, which shows the error and lets the window
    // go on.
    void ShellTreeView1Change();
    void ShellTreeView1Expanded();
    void LMDShapeButton1Click();
    void LMDShapeButton2Click();
    void LMDShapeButton3Click();
    void LMDShapeButton4Click();

    // The settings a run takes from the window, in the core's terms.
    ortholay::RunSettings ReadRunSettings() const;

    // True from the start of a run until its document (or its failure) has
    // reached the window.
    bool IsRunning() const { return running_; }

    // Stops a run in progress and waits for its worker to end.
    void CancelRun();

signals:
    // A run has ended and the window shows its outcome (the document, or the
    // failure's message box has been closed).
    void runFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct RunOutcome {
        std::string document;
        std::exception_ptr error;
    };

    void CreateControls();
    void SetInputsEnabled(bool enabled);
    void OnRunFinished();

    std::atomic<bool> cancelRun_{false};
    bool running_ = false;
    QFutureWatcher<RunOutcome> runWatcher_;
    QPointer<QWidget> focusBeforeRun_;
    QByteArray listedFolder_;  // the folder whose world files the list holds
};
