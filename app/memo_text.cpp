#include "app/memo_text.h"

#include <QTextDocument>

namespace ortholay {

QString DocumentToMemoText(const std::string& document) {
    return QString::fromUtf8(document.data(), static_cast<qsizetype>(document.size()));
}

QByteArray MemoTextToDocument(const QTextDocument& memo) {
    // toRawText, not toPlainText: the latter turns no-break spaces into
    // plain ones. Between blocks it has a paragraph separator; a line
    // separator inside a block is a character of the text itself (the
    // window's text area never types one), so it stays.
    QString text = memo.toRawText();
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    return text.toUtf8();
}

}  // namespace ortholay
