#include "app/tinfo.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

TInfo::TInfo(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Info"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("<b style='font-size:16px'>Arvelo</b>"), this);
    auto* text = new QLabel(
        QStringLiteral("Version %1<br><br>"
                       "Archivstatistik für den Nachrichtenserver.<br><br>"
                       "Dieses Programm ist freie Software: Sie können es unter den Bedingungen der "
                       "GNU General Public License, Version 3 oder (nach Ihrer Wahl) jeder späteren Version, "
                       "weitergeben und/oder verändern. Es wird OHNE JEDE GEWÄHRLEISTUNG bereitgestellt.")
            .arg(QCoreApplication::applicationVersion()),
        this);
    text->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(title);
    layout->addWidget(text);
    layout->addWidget(buttons);
    setFixedWidth(380);
}
