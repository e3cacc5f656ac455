#include "app/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace ortholay {

namespace {

const QString kTraditionalSerif = QStringLiteral("Noto Serif CJK TC");
const QString kTraditionalSans = QStringLiteral("Noto Sans CJK TC");

QString SystemSansFamily() {
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

QFont FontOf(const QStringList& families, int pixelSize) {
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    return font;
}

}  // namespace

QFont SansSerifFont(int pixelSize) {
    return FontOf({QStringLiteral("MS Sans Serif"), SystemSansFamily(), kTraditionalSans},
                  pixelSize);
}

QFont MingFont(int pixelSize) {
    return FontOf({QStringLiteral("細明體"), QStringLiteral("MingLiU"), kTraditionalSerif,
                   kTraditionalSans},
                  pixelSize);
}

QFont PMingFont(int pixelSize) {
    return FontOf({QStringLiteral("新細明體"), QStringLiteral("PMingLiU"), kTraditionalSerif,
                   kTraditionalSans},
                  pixelSize);
}

QFont ArialFont(int pixelSize) {
    return FontOf({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), SystemSansFamily(),
                   kTraditionalSans},
                  pixelSize);
}

}  // namespace ortholay
