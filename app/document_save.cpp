#include "app/document_save.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "common/error.h"

namespace ortholay {

namespace {

[[noreturn]] void ThrowCannotCreate(const QString& fileName) {
    throw FileCreateError(QFile::encodeName(fileName).toStdString());
}

// A file nobody may write to is read-only, whoever saves: the temporary
// file would otherwise be renamed over it, which its folder allows even
// where the file itself does not (and always for the superuser).
bool IsReadOnlyFile(const QString& fileName) {
    const QFileInfo info(fileName);
    if (!info.exists() || info.isDir()) {
        return false;
    }
    // The file's own mode bits (WriteUser is what this process may do).
    constexpr QFile::Permissions kAnyWrite =
        QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return (info.permissions() & kAnyWrite) == 0 || !info.isWritable();
}

}  // namespace

void WriteDocumentFile(const QString& fileName, const QByteArray& bytes) {
    if (IsReadOnlyFile(fileName)) {
        ThrowCannotCreate(fileName);
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        ThrowCannotCreate(fileName);
    }
    if (!bytes.isEmpty() && file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        throw StreamWriteError();
    }
    if (!file.commit()) {
        // The temporary file is gone either way; what failed was putting it
        // in place, or the last of the writing (flushed only on commit).
        if (file.error() == QFileDevice::RenameError) {
            ThrowCannotCreate(fileName);
        }
        throw StreamWriteError();
    }
}

}  // namespace ortholay
