// The text area that shows the KML document (Memo1).
#pragma once

#include <QPlainTextEdit>

namespace ortholay {

// A plain-text area whose every line break is a paragraph break, so that the
// document saves with CR LF wherever the user sees a new line: Shift+Enter,
// which would insert a line separator inside a paragraph, breaks the
// paragraph like Enter. Tab moves the focus on, as in the window's other
// controls.
class MemoEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit MemoEdit(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace ortholay
