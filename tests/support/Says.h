#pragma once

#include <QString>
#include <QStringList>

// Whether a message a user reads says each of these facts (a name, a path, the reason), whatever
// words the program puts around them: a test of what the user learns, not of its phrasing.
inline bool saysAll(const QString& text, const QStringList& facts)
{
    for (const QString& fact : facts) {
        if (!text.contains(fact))
            return false;
    }
    return true;
}
