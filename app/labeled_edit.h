// A one-line text box with a label attached above or below it, the label
// following the box wherever the box is placed.
#pragma once

#include <QLabel>
#include <QLineEdit>

namespace ortholay {

class LabeledEdit : public QLineEdit {
    Q_OBJECT

public:
    enum class LabelPosition { Above, Below };

    // The label is made a sibling of the box (a child of `parent`), `spacing`
    // pixels from it.
    LabeledEdit(QWidget* parent, const QString& label, LabelPosition position, int spacing = 3);

    QLabel* EditLabel() const { return label_; }
    void SetLabelFont(const QFont& font);

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void PlaceLabel();

    QLabel* label_;
    LabelPosition position_;
    int spacing_;
};

}  // namespace ortholay
