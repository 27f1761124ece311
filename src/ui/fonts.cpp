#include "ui/fonts.h"

#include <QFont>
#include <QStringList>

namespace ui {

void installFontSubstitutes()
{
    const QStringList similar {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                               QStringLiteral("DejaVu Sans Condensed")};
    for (const char* family : {"Tahoma", "MS Sans Serif"})
        if (QFont::substitutes(QString::fromLatin1(family)).isEmpty())
            QFont::insertSubstitutions(QString::fromLatin1(family), similar);
}

}  // namespace ui
