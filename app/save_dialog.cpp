#include "app/save_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "app/error_display.h"

namespace ortholay {

SaveDialog::SaveDialog(QWidget* owner) : owner_(owner) {}

SaveDialog::~SaveDialog() = default;

std::unique_ptr<QFileDialog> SaveDialog::CreateFileDialog() const {
    auto dialog = std::make_unique<QFileDialog>(owner_);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(QString::fromLatin1(kFilter));
    // The filter shows as "kml" alone, its pattern hidden.
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog->setDefaultSuffix(QString());
    dialog->setSizeGripEnabled(true);
    if (!fileName_.isEmpty()) {
        const QFileInfo info(fileName_);
        dialog->setDirectory(info.absolutePath());
        dialog->selectFile(info.fileName());
    }
    return dialog;
}

bool SaveDialog::Execute() {
    const std::unique_ptr<QFileDialog> dialog = CreateFileDialog();
    if (dialog->exec() != QDialog::Accepted) {
        return false;
    }
    const QStringList chosen = dialog->selectedFiles();
    if (chosen.isEmpty()) {
        return false;
    }
    fileName_ = chosen.first();
    return true;
}

bool SaveDialog::ConfirmReplace(const QString& fileName) {
    const QMessageBox::StandardButton answer = QMessageBox::question(
        owner_, ApplicationTitle(),
        QStringLiteral("%1 已存在。\n要取代它嗎？").arg(fileName),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return answer == QMessageBox::Yes;
}

}  // namespace ortholay
