#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace platform {

// How a program words the faults its command line can have; %1 is the argument or the option's name.
struct UsageTexts {
    QString notAnOption;       // an argument that does not begin with "--"
    QString unknown;           // an option nobody declared
    QString needsValue;        // "--out" at the end of the line (%1: "--out")
    QString takesNoValue;      // "--sub=1" (%1: "--sub")
    bool emptyIsMissing = false;   // "--out=" counts as no value
    bool excerptArguments = true;  // quote a cited argument only up to platform::excerpt's limit
};

// The command line of a headless companion: options are declared one line each, then `parse` reads the
// arguments after the program name. "--name value" and "--name=value" both work (only the first "=" splits),
// a later option of the same name wins, and an option declared with `alone` ("--help", "-h", "--version")
// anywhere on the line sets its flag and nothing else is read.
//
//   CommandLine line(texts);
//   line.alone({"--help", "-h"}, o.help).flag("--sub", o.sub).text("--server", o.server);
//   const QString error = line.parse(arguments);
class CommandLine {
public:
    // Returns the reason a value is refused, or an empty text.
    using Check = std::function<QString(const QString& value)>;
    using OptionalCheck = std::function<QString(const std::optional<QString>& value)>;

    explicit CommandLine(UsageTexts texts);

    CommandLine& alone(const QStringList& spellings, bool& target);
    // An option without a value.
    CommandLine& flag(const QString& name, bool& target);
    // An option with a value, taken as it is.
    CommandLine& text(const QString& name, QString& target);
    // An option with a value that `apply` checks and stores.
    CommandLine& value(const QString& name, Check apply);
    // An option whose value, if any, follows "=": "--types" or "--types=top".
    CommandLine& optionalValue(const QString& name, OptionalCheck apply);

    // The reason the first bad argument is refused, or an empty text when all were read.
    QString parse(const QStringList& arguments) const;

private:
    enum class Kind { Flag, Value, OptionalValue };
    struct Option {
        QString name;
        Kind kind;
        OptionalCheck apply;
    };

    QString cite(const QString& argument) const;

    UsageTexts m_texts;
    std::vector<std::pair<QStringList, bool*>> m_alone;
    std::vector<Option> m_options;
};

}  // namespace platform
