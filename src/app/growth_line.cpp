#include "app/growth_line.h"

#include "app/number_format.h"

#include <QLabel>

namespace {

QString signedMegabytes(double megabytes, const QLocale& locale)
{
    QString text = formatDetail(megabytes, locale);
    if (!text.startsWith(locale.negativeSign()))
        text.prepend(QLatin1Char('+'));
    else if (formatDetail(-megabytes, locale) == formatDetail(0, locale))
        text = QLatin1Char('+') + formatDetail(0, locale);  // a loss that rounds to nothing
    return text + QStringLiteral(" MB");
}

}  // namespace

QString growthLineText(const history::ArchiveGrowth& growth, const QLocale& locale)
{
    QString text = signedMegabytes(growth.sincePrevious, locale) + QStringLiteral(" seit ")
        + growth.previousRun.toLocalTime().date().toString(QStringLiteral("dd.MM.yyyy"));
    if (growth.over30Days)
        text += QStringLiteral(", ") + signedMegabytes(*growth.over30Days, locale) + QStringLiteral(" in 30 Tagen");
    return text;
}

GrowthLine::GrowthLine(QWidget* group, int top)
    : QObject(group), m_caption(new QLabel(group)), m_value(new QLabel(group))
{
    m_caption->setObjectName(QStringLiteral("LabelZuwachs"));
    m_caption->setText(QStringLiteral("Zuwachs:"));
    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);
    m_caption->setGeometry(5, top, 125, 16);
    m_value->setObjectName(QStringLiteral("lblZuwachs"));
    m_value->move(133, top);
    show(std::nullopt);
}

void GrowthLine::show(const std::optional<history::ArchiveGrowth>& growth)
{
    m_caption->setVisible(growth.has_value());
    m_value->setVisible(growth.has_value());
    if (!growth)
        return;
    m_value->setText(growthLineText(*growth));
    m_value->adjustSize();
}
