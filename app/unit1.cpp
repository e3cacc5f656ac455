#include "app/unit1.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStyledItemDelegate>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

#include "app/document_save.h"
#include "app/error_display.h"
#include "app/folder_listing.h"
#include "app/fonts.h"
#include "app/kml_file_name.h"
#include "app/labeled_edit.h"
#include "app/memo_edit.h"
#include "app/memo_text.h"
#include "app/resources.h"
#include "app/save_dialog.h"
#include "app/shape_button.h"
#include "app/shell_tree_view.h"

using ortholay::LabeledEdit;
using ortholay::RunHandler;
using ortholay::ShapeButton;

namespace {

// The window's caption; the title of message boxes is the application's.
const char* const kCaption = "Ortholay — KML 航照疊圖發布　　Ortholay 開發團隊 製作";

// The designed client area: 902 x 666 pixels inside a 910 x 693 window.
constexpr int kClientWidth = 902;
constexpr int kClientHeight = 666;
constexpr int kLeft = 143;
constexpr int kTop = 100;
constexpr int kProgressBarHeight = 16;
constexpr int kLeftAreaWidth = 537;       // GroupBox1, aligned to the left edge
constexpr int kSettingsHeight = 226;      // GroupBox4, aligned to the top of GroupBox1
constexpr int kTreeWidth = 271;           // ShellTreeView1, aligned to the left
constexpr int kFrameLeft = 2;             // GroupBox1's client area: 2 pixels in,
constexpr int kFrameTop = 15;             // 15 below its top edge,
constexpr int kFrameBottom = 2;           // 2 above its bottom edge
constexpr int kCheckListItemHeight = 13;

// Where a list item keeps the world-file name as the file system gave it:
// the run gets those very bytes, whatever their display form.
constexpr int kNameBytesRole = Qt::UserRole + 1;

// CheckListBox1's items are 13 pixels high.
class CheckListItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(kCheckListItemHeight);
        return size;
    }
};

QPixmap Pictures(const char* name) {
    return QPixmap(QStringLiteral(":/ortholay/%1.xpm").arg(QLatin1String(name)));
}

// One of the four shaped buttons, under its designer name.
ShapeButton* MakeShapeButton(QWidget* parent, const char* name, QRect geometry,
                             const QString& caption, const char* pictures) {
    auto* button = new ShapeButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setText(caption);
    button->setPictures(Pictures(pictures));
    return button;
}

QString FromSystemText(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToSystemText(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
    ortholay::InitResources();
    CreateControls();

    connect(LMDShapeButton1, &QAbstractButton::clicked, this,
            [this] { RunHandler([this] { LMDShapeButton1Click(); }); });
    connect(LMDShapeButton2, &QAbstractButton::clicked, this,
            [this] { RunHandler([this] { LMDShapeButton2Click(); }); });
    connect(LMDShapeButton3, &QAbstractButton::clicked, this,
            [this] { RunHandler([this] { LMDShapeButton3Click(); }); });
    connect(LMDShapeButton4, &QAbstractButton::clicked, this,
            [this] { RunHandler([this] { LMDShapeButton4Click(); }); });
    connect(ShellTreeView1, &QTreeView::expanded, this,
            [this] { RunHandler([this] { ShellTreeView1Expanded(); }); });
    connect(&runWatcher_, &QFutureWatcher<RunOutcome>::finished, this, &TForm1::OnRunFinished);

    // The tree opens on its root, "/", expanded and selected, and the root's
    // folder listing runs once. That listing is part of creating the window:
    // an error in it ends the start-up, so it is called here directly
    // rather than through the selection signal.
    const QModelIndex root = ShellTreeView1->IndexOfPath(QStringLiteral("/"));
    ShellTreeView1->expand(root);
    ShellTreeView1->setCurrentIndex(root);
    connect(ShellTreeView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] {
                // The tree also reports a selection change when it re-sorts
                // or re-reads a level; only another folder is a change.
                if (ShellTreeView1->PathBytes() != listedFolder_) {
                    RunHandler([this] { ShellTreeView1Change(); });
                }
            });
    ShellTreeView1Change();
}

TForm1::~TForm1() {
    runWatcher_.disconnect(this);
    CancelRun();
}

void TForm1::CreateControls() {
    setWindowTitle(QString::fromUtf8(kCaption));
    setFont(ortholay::SansSerifFont(11));

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));

    GroupBox4 = new QGroupBox(GroupBox1);
    GroupBox4->setObjectName(QStringLiteral("GroupBox4"));

    LabeledEdit1 = new LabeledEdit(GroupBox4, QStringLiteral("標題"), LabeledEdit::LabelPosition::Above);
    LabeledEdit1->setObjectName(QStringLiteral("LabeledEdit1"));
    LabeledEdit1->setGeometry(8, 24, 233, 21);
    LabeledEdit1->setText(QStringLiteral("92年台北東區航照"));
    LabeledEdit1->SetLabelFont(ortholay::MingFont(13));

    LabeledEdit2 = new LabeledEdit(GroupBox4, QStringLiteral("路徑(可自行修改成URL)"),
                                   LabeledEdit::LabelPosition::Above);
    LabeledEdit2->setObjectName(QStringLiteral("LabeledEdit2"));
    LabeledEdit2->setGeometry(288, 24, 217, 21);
    LabeledEdit2->SetLabelFont(ortholay::MingFont(13));

    CheckBox1 = new QCheckBox(QStringLiteral("是否將TWD97之TM2轉成WGS84經緯度"), GroupBox4);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(8, 65, 241, 17);
    CheckBox1->setFont(ortholay::PMingFont(13));

    CheckBox2 = new QCheckBox(QStringLiteral("是否將影像進行多張裁切,以利最佳效果"), GroupBox4);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox2->setGeometry(8, 105, 249, 17);
    CheckBox2->setFont(ortholay::PMingFont(13));
    // Where the fallback font draws the caption wider than the designed face,
    // the box grows to the right (into empty frame) rather than cut it.
    for (QCheckBox* box : {CheckBox1, CheckBox2}) {
        box->resize(std::max(box->width(), box->sizeHint().width()), box->height());
    }

    LabeledEdit3 = new LabeledEdit(GroupBox4, QStringLiteral("裁切寬度"), LabeledEdit::LabelPosition::Below);
    LabeledEdit3->setObjectName(QStringLiteral("LabeledEdit3"));
    LabeledEdit3->setGeometry(8, 144, 121, 21);
    LabeledEdit3->setText(QStringLiteral("800"));
    LabeledEdit3->SetLabelFont(ortholay::PMingFont(13));

    LabeledEdit4 = new LabeledEdit(GroupBox4, QStringLiteral("裁切高度"), LabeledEdit::LabelPosition::Below);
    LabeledEdit4->setObjectName(QStringLiteral("LabeledEdit4"));
    LabeledEdit4->setGeometry(136, 144, 121, 21);
    LabeledEdit4->setText(QStringLiteral("800"));
    LabeledEdit4->SetLabelFont(ortholay::PMingFont(13));

    LMDShapeButton1 = MakeShapeButton(GroupBox4, "LMDShapeButton1", QRect(288, 176, 81, 33),
                                      QStringLiteral("全選"), "tick");

    LMDShapeButton2 = MakeShapeButton(GroupBox4, "LMDShapeButton2", QRect(416, 176, 81, 33),
                                      QStringLiteral("全不選"), "cross");

    ShellTreeView1 = new ortholay::ShellTreeView(GroupBox1);
    ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
    QFont treeFont = ortholay::PMingFont(12);
    ShellTreeView1->setFont(treeFont);
    QPalette treeColours = ShellTreeView1->palette();
    treeColours.setColor(QPalette::Text, Qt::black);
    ShellTreeView1->setPalette(treeColours);

    CheckListBox1 = new QListWidget(GroupBox1);
    CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
    CheckListBox1->setSortingEnabled(false);
    CheckListBox1->setUniformItemSizes(true);
    CheckListBox1->setItemDelegate(new CheckListItemDelegate(CheckListBox1));
    CheckListBox1->setSelectionMode(QAbstractItemView::SingleSelection);

    GroupBox3 = new QGroupBox(this);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));

    Memo1 = new ortholay::MemoEdit(GroupBox3);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 16, 345, 513);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    LMDShapeButton3 = MakeShapeButton(GroupBox3, "LMDShapeButton3", QRect(120, 552, 153, 33),
                                      QStringLiteral("執行 按我就對了"), "run");

    LMDShapeButton4 = MakeShapeButton(GroupBox3, "LMDShapeButton4", QRect(120, 600, 153, 33),
                                      QStringLiteral("按我將結果存檔"), "run");

    SaveDialog1 = std::make_unique<ortholay::SaveDialog>(this);

    // Keyboard order: the left area before the right; in the left area the
    // tree, the list, then the settings frame in reading order.
    setTabOrder(ShellTreeView1, CheckListBox1);
    setTabOrder(CheckListBox1, LabeledEdit1);
    setTabOrder(LabeledEdit1, LabeledEdit2);
    setTabOrder(LabeledEdit2, CheckBox1);
    setTabOrder(CheckBox1, CheckBox2);
    setTabOrder(CheckBox2, LabeledEdit3);
    setTabOrder(LabeledEdit3, LabeledEdit4);
    setTabOrder(LabeledEdit4, Memo1);

    resize(kClientWidth, kClientHeight);
    move(kLeft, kTop);
}

// The aligned controls follow the window's size: the progress bar along the
// bottom edge, the left area at its full height, the right area filling the
// rest; in the left area the settings frame along its top, the tree along
// its left edge below it and the check list filling the rest.
void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int areaHeight = std::max(0, height() - kProgressBarHeight);
    ProgressBar1->setGeometry(0, areaHeight, width(), kProgressBarHeight);
    GroupBox1->setGeometry(0, 0, kLeftAreaWidth, areaHeight);
    GroupBox3->setGeometry(kLeftAreaWidth, 0, std::max(0, width() - kLeftAreaWidth), areaHeight);

    const int innerWidth = kLeftAreaWidth - 2 * kFrameLeft;
    GroupBox4->setGeometry(kFrameLeft, kFrameTop, innerWidth, kSettingsHeight);
    const int listTop = kFrameTop + kSettingsHeight;
    const int listHeight = std::max(0, areaHeight - kFrameBottom - listTop);
    ShellTreeView1->setGeometry(kFrameLeft, listTop, kTreeWidth, listHeight);
    CheckListBox1->setGeometry(kFrameLeft + kTreeWidth, listTop, innerWidth - kTreeWidth,
                               listHeight);
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Closing ends the program; a run in progress is stopped first.
    CancelRun();
    event->accept();
}

// ---------------------------------------------------------------------------
// The folder tree

void TForm1::ShellTreeView1Change() {
    CheckListBox1->clear();
    listedFolder_ = ShellTreeView1->PathBytes();
    const std::string folder = listedFolder_.toStdString();
    LabeledEdit2->setText(FromSystemText(ortholay::HrefPrefixForFolder(folder)));
    if (folder.empty()) {
        return;
    }
    for (const std::string& name : ortholay::ListWorldFiles(folder)) {
        const QByteArray bytes = QByteArray::fromStdString(name);
        auto* item = new QListWidgetItem(QFile::decodeName(bytes), CheckListBox1);
        item->setData(kNameBytesRole, bytes);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
}

void TForm1::ShellTreeView1Expanded() {
    ShellTreeView1->SortTree();
}

// ---------------------------------------------------------------------------
// Tick all, untick all

void TForm1::LMDShapeButton1Click() {
    for (int i = 0; i < CheckListBox1->count(); ++i) {
        CheckListBox1->item(i)->setCheckState(Qt::Checked);
    }
}

void TForm1::LMDShapeButton2Click() {
    for (int i = 0; i < CheckListBox1->count(); ++i) {
        CheckListBox1->item(i)->setCheckState(Qt::Unchecked);
    }
}

// ---------------------------------------------------------------------------
// The conversion run

ortholay::RunSettings TForm1::ReadRunSettings() const {
    ortholay::RunSettings settings;
    settings.title = ToSystemText(LabeledEdit1->text());
    settings.entries.reserve(static_cast<std::size_t>(CheckListBox1->count()));
    for (int i = 0; i < CheckListBox1->count(); ++i) {
        const QListWidgetItem* item = CheckListBox1->item(i);
        settings.entries.push_back(
            {item->data(kNameBytesRole).toByteArray().toStdString(),
             item->checkState() == Qt::Checked});
    }
    settings.folder = ShellTreeView1->PathBytes().toStdString();
    settings.hrefPrefix = ToSystemText(LabeledEdit2->text());
    settings.cutWidthText = ToSystemText(LabeledEdit3->text());
    settings.cutHeightText = ToSystemText(LabeledEdit4->text());
    settings.cutOption = CheckBox2->isChecked();
    settings.convertOption = CheckBox1->isChecked();
    settings.jobs = 0;
    return settings;
}

// The run works on a worker thread while the window goes on painting with
// every input disabled, so no setting can change and no second run start.
// The text area is emptied at once and receives the whole document when the
// run ends; the progress bar follows the run as it goes.
void TForm1::LMDShapeButton3Click() {
    if (running_) {
        return;
    }
    Memo1->clear();
    const ortholay::RunSettings settings = ReadRunSettings();
    cancelRun_.store(false);
    running_ = true;
    SetInputsEnabled(false);
    runWatcher_.setFuture(QtConcurrent::run([this, settings]() -> RunOutcome {
        // This runs on a worker thread, not the window's.
        ortholay::RunObserver observer;
        observer.cancel = &cancelRun_;
        observer.progress = [this](int position) {
            // Handed to the window's thread, in order, ahead of the end of
            // the run.
            QMetaObject::invokeMethod(
                this, [this, position] { ProgressBar1->setValue(position); },
                Qt::QueuedConnection);
        };
        RunOutcome outcome;
        try {
            outcome.document = ortholay::RunConversion(settings, observer);
        } catch (...) {
            outcome.error = std::current_exception();
        }
        return outcome;
    }));
}

// On the window's thread, once the worker has ended.
void TForm1::OnRunFinished() {
    if (!running_) {
        return;
    }
    running_ = false;
    const RunOutcome outcome = runWatcher_.result();
    SetInputsEnabled(true);
    RunHandler([&] {
        if (outcome.error) {
            std::rethrow_exception(outcome.error);
        }
        Memo1->setPlainText(ortholay::DocumentToMemoText(outcome.document));
    });
    emit runFinished();
}

void TForm1::CancelRun() {
    if (!running_) {
        return;
    }
    cancelRun_.store(true);
    runWatcher_.waitForFinished();
}

void TForm1::SetInputsEnabled(bool enabled) {
    QWidget* const inputs[] = {
        ShellTreeView1, CheckListBox1,   LabeledEdit1,    LabeledEdit2,    CheckBox1,
        CheckBox2,      LabeledEdit3,    LabeledEdit4,    LMDShapeButton1, LMDShapeButton2,
        Memo1,          LMDShapeButton3, LMDShapeButton4,
    };
    if (!enabled) {
        focusBeforeRun_ = QApplication::focusWidget();
    }
    for (QWidget* input : inputs) {
        input->setEnabled(enabled);
    }
    if (enabled && focusBeforeRun_ != nullptr && focusBeforeRun_->isEnabled()) {
        focusBeforeRun_->setFocus();
    }
}

// ---------------------------------------------------------------------------
// Saving the document

void TForm1::LMDShapeButton4Click() {
    if (!SaveDialog1->Execute()) {
        return;
    }
    const std::string chosen = QFile::encodeName(SaveDialog1->FileName()).toStdString();
    const std::string fileName = ortholay::KmlFileName(chosen);
    if (fileName != chosen) {
        // The dialog asked about the name as chosen, not about this one.
        SaveDialog1->SetFileName(QFile::decodeName(QByteArray::fromStdString(fileName)));
        if (QFileInfo::exists(SaveDialog1->FileName()) &&
            !SaveDialog1->ConfirmReplace(SaveDialog1->FileName())) {
            return;
        }
    }
    ortholay::WriteDocumentFile(SaveDialog1->FileName(),
                                ortholay::MemoTextToDocument(*Memo1->document()));
}
