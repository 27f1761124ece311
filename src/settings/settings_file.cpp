#include "settings/settings_file.h"

#include "settings/preference_file.h"

#include "platform/excerpt.h"
#include "platform/program_folder.h"

#include <QFileInfo>

#include <cmath>

namespace settings {

namespace {

// The time-display line: "-1" and "0" as written, and beyond them any number, yes when it is not zero.
std::optional<bool> flagFromText(const QString& text)
{
    if (const std::optional<qint64> n = parseWholeNumber(text))
        return *n != 0;
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (ok && std::isfinite(d))
        return d != 0;
    return std::nullopt;
}

QString quoted(const QString& text)
{
    return QStringLiteral("\u201E%1\u201C").arg(platform::excerpt(text));
}

}  // namespace

SettingsValues SettingsValues::standard()
{
    return SettingsValues{true, 0x00FDE8FF, 0x00F4F4F2};
}

SettingsHandOver handOverOf(const SettingsValues& values)
{
    return SettingsHandOver{values.ShowUhrzeit, paintColor(values.Farbe1), paintColor(values.Farbe2)};
}

QString settingsReadPath()
{
    return platform::preferenceReadPath(QString::fromLatin1(SettingsFileName));
}

QString settingsSavePath()
{
    return platform::preferenceSavePath(QString::fromLatin1(SettingsFileName));
}

QStringList settingsLines(const SettingsValues& values)
{
    return {values.ShowUhrzeit ? QStringLiteral("-1") : QStringLiteral("0"), colorToText(values.Farbe1),
            colorToText(values.Farbe2)};
}

SettingsRead readSettings(const QString& path, const SettingsValues& start)
{
    SettingsRead result{start, true, {}};
    if (!QFileInfo::exists(path))
        return result;

    const auto fail = [&result](const QString& reason) {
        result.ok = false;
        result.reason = reason;
        return result;
    };

    QString error;
    const std::optional<QStringList> lines = readPreferenceLines(path, &error);
    if (!lines)
        return fail(QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2").arg(path, error));

    for (int i = 0; i < 3; ++i) {
        if (i >= lines->size())
            return fail(QStringLiteral("Zeile %1 fehlt.").arg(i + 1));
        const QString& line = lines->at(i);
        if (i == 0) {
            const std::optional<bool> flag = flagFromText(line);
            if (!flag)
                return fail(QStringLiteral("Zeile 1 (%1) ist keine Zahl.").arg(quoted(line)));
            result.values.ShowUhrzeit = *flag;
        } else {
            const std::optional<ColorValue> color = colorFromText(line);
            if (!color)
                return fail(QStringLiteral("Zeile %1 (%2) ist keine Farbe.").arg(i + 1).arg(quoted(line)));
            (i == 1 ? result.values.Farbe1 : result.values.Farbe2) = *color;
        }
    }
    return result;
}

bool writeSettings(const QString& path, const SettingsValues& values, QString* reason)
{
    return writePreferenceLines(path, settingsLines(values), reason);
}

}  // namespace settings
