// The window's save-file dialog, SaveDialog1: it remembers the file name it
// was last given, which it offers (in its folder) the next time it opens.
#pragma once

#include <QString>

#include <memory>

class QFileDialog;
class QWidget;

namespace ortholay {

class SaveDialog {
public:
    // The one filter: shown as "kml", the pattern "*.kml".
    static constexpr const char* kFilter = "kml (*.kml)";

    explicit SaveDialog(QWidget* owner);
    virtual ~SaveDialog();
    SaveDialog(const SaveDialog&) = delete;
    SaveDialog& operator=(const SaveDialog&) = delete;

    // Opens the dialog modally. True when the user has chosen a name, which
    // FileName then holds as a full path; false when the user cancelled,
    // which changes nothing. The dialog asks before a chosen file that
    // exists is replaced.
    virtual bool Execute();

    // Asked when the name the user chose is changed to end in ".kml" and a
    // file of that name exists: true to replace it.
    virtual bool ConfirmReplace(const QString& fileName);

    QString FileName() const { return fileName_; }
    void SetFileName(const QString& fileName) { fileName_ = fileName; }

    // The Qt dialog as Execute shows it: saving, the kml filter, no default
    // suffix, asking before overwriting, resizable, opening on FileName.
    std::unique_ptr<QFileDialog> CreateFileDialog() const;

protected:
    QWidget* owner() const { return owner_; }

private:
    QWidget* owner_;
    QString fileName_;
};

}  // namespace ortholay
