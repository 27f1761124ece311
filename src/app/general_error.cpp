#include "app/general_error.h"

#include <QApplication>
#include <QMessageBox>

void showGeneralError(const QString& text, QWidget* parent)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Arvelo"), text, QMessageBox::Ok,
                    parent ? parent : QApplication::activeWindow());
    box.exec();
}

void guarded(const std::function<void()>& handler, QWidget* parent)
{
    try {
        handler();
    } catch (const std::exception& e) {
        showGeneralError(QString::fromUtf8(e.what()), parent);
    } catch (...) {
        showGeneralError(QStringLiteral("Unbekannter Fehler."), parent);
    }
}
