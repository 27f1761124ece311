#include "export/eml_save.h"

#include "export/file_ops.h"
#include "platform/program_folder.h"
#include "server/udavid_api.h"

#include <QFile>

#include <cstring>

namespace {

bool fail(EmlSaveFailure* failure, bool exists, const QString& reason)
{
    if (failure)
        *failure = EmlSaveFailure{exists, reason};
    return false;
}

}  // namespace

std::optional<QString> ConvertMailItemToEml(MailItem& message, EmlSaveFailure* failure)
{
    // 260 blanks and a zero byte: the library writes the temporary file's name into it.
    char buffer[kEmlPathBufferSize + 1];
    std::memset(buffer, ' ', kEmlPathBufferSize);
    buffer[kEmlPathBufferSize] = '\0';
    QString reason;
    if (DVEmlFromMailItem(message, buffer, &reason) <= 0) {
        QString text = QStringLiteral("Die Nachricht konnte nicht in eine EML-Datei umgewandelt werden.");
        if (!reason.isEmpty())
            text += QLatin1Char(' ') + reason;
        fail(failure, false, text);
        return std::nullopt;
    }
    return platform::fromAnsi(QByteArray(buffer, qsizetype(std::strlen(buffer))));
}

bool PlaceEmlFile(const QString& temporary, const QString& target, EmlSaveFailure* failure)
{
    QString reason;
    switch (exportfiles::moveFileNoReplace(temporary, target, &reason)) {
    case exportfiles::MoveResult::Moved:
        return true;
    case exportfiles::MoveResult::TargetExists:
        QFile::remove(temporary);
        return fail(failure, true, reason);
    case exportfiles::MoveResult::Failed:
        break;
    }
    QFile::remove(temporary);
    return fail(failure, false, reason);
}

bool SaveMailItemAsEml(MailItem& message, const QString& target, EmlSaveFailure* failure)
{
    const std::optional<QString> temporary = ConvertMailItemToEml(message, failure);
    return temporary && PlaceEmlFile(*temporary, target, failure);
}
