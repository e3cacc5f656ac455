// The KML document between its bytes and the text area that shows it.
//
// The document is UTF-8 with CR LF after every line. The text area holds
// Unicode text and keeps its own paragraph breaks in place of line ends, so
// the bytes are decoded for showing and made again, CR LF included, for
// saving: an unedited document is saved with exactly the bytes the run made.
#pragma once

#include <QByteArray>
#include <QString>

#include <string>

class QTextDocument;

namespace ortholay {

// The text the text area is given for a document's bytes.
QString DocumentToMemoText(const std::string& document);

// The bytes of the text area's text: UTF-8, every line break written as
// CR LF (a text that ended in a line break ends in CR LF), every other
// character, a no-break space included, as it stands.
QByteArray MemoTextToDocument(const QTextDocument& memo);

}  // namespace ortholay
