#pragma once

#include <QString>
#include <QStringList>

namespace bench {

// The value after `name` in a benchmark's arguments ("--seconds 60"), or fallback.
inline QString optionValue(const QStringList& arguments, const QString& name,
                           const QString& fallback = {})
{
    const qsizetype at = arguments.indexOf(name);
    return at < 0 || at + 1 >= arguments.size() ? fallback : arguments.at(at + 1);
}

} // namespace bench
