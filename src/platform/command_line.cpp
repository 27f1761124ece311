#include "platform/command_line.h"

#include "platform/excerpt.h"

#include <algorithm>

namespace platform {

CommandLine::CommandLine(UsageTexts texts) : m_texts(std::move(texts)) {}

CommandLine& CommandLine::alone(const QStringList& spellings, bool& target)
{
    m_alone.emplace_back(spellings, &target);
    return *this;
}

CommandLine& CommandLine::flag(const QString& name, bool& target)
{
    m_options.push_back({name, Kind::Flag, [&target](const std::optional<QString>&) {
                             target = true;
                             return QString();
                         }});
    return *this;
}

CommandLine& CommandLine::text(const QString& name, QString& target)
{
    return value(name, [&target](const QString& v) {
        target = v;
        return QString();
    });
}

CommandLine& CommandLine::value(const QString& name, Check apply)
{
    m_options.push_back({name, Kind::Value, [apply = std::move(apply)](const std::optional<QString>& v) {
                             return apply(*v);
                         }});
    return *this;
}

CommandLine& CommandLine::optionalValue(const QString& name, OptionalCheck apply)
{
    m_options.push_back({name, Kind::OptionalValue, std::move(apply)});
    return *this;
}

QString CommandLine::cite(const QString& argument) const
{
    return m_texts.excerptArguments ? excerpt(argument) : argument;
}

QString CommandLine::parse(const QStringList& arguments) const
{
    for (const QString& arg : arguments) {
        for (const auto& [spellings, target] : m_alone) {
            if (spellings.contains(arg)) {
                *target = true;
                return QString();
            }
        }
    }

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (!arg.startsWith(QLatin1String("--")))
            return m_texts.notAnOption.arg(cite(arg));
        QString name = arg;
        std::optional<QString> value;
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        }
        const auto option = std::find_if(m_options.begin(), m_options.end(),
                                         [&name](const Option& o) { return o.name == name; });
        if (option == m_options.end())
            return m_texts.unknown.arg(cite(arg));

        switch (option->kind) {
        case Kind::Flag:
            if (value)
                return m_texts.takesNoValue.arg(name);
            break;
        case Kind::Value:
            if (!value && i + 1 < arguments.size())
                value = arguments.at(++i);
            if (!value || (m_texts.emptyIsMissing && value->isEmpty()))
                return m_texts.needsValue.arg(name);
            break;
        case Kind::OptionalValue:
            break;
        }
        if (QString error = option->apply(value); !error.isEmpty())
            return error;
    }
    return QString();
}

}  // namespace platform
