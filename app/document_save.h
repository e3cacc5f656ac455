// Writing the KML document to its file.
#pragma once

#include <QByteArray>
#include <QString>

namespace ortholay {

// Writes `bytes` to `fileName` through a temporary file in the same folder
// that replaces the file only once it is complete, so a failed save leaves
// the previous file as it was. Throws FileCreateError naming `fileName`
// when the file cannot be created or put in place (its folder is missing or
// not writable, the name is a folder, the file is read-only), and
// StreamWriteError when fewer bytes are written than given (a full disk).
void WriteDocumentFile(const QString& fileName, const QByteArray& bytes);

}  // namespace ortholay
