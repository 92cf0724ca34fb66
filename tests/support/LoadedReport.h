#pragma once

#include <QMap>
#include <QString>
#include <optional>

// What a template movie reports with fscommand("lq_loaded", ...) once it has read its content
// files: "complete|Vector|aboutus=4:Café;services=-1:;" - each text as the movie shows it, prefixed
// by its length, so nothing in it is escaped. A file that could not be read has no value.
struct LoadedReport
{
    QString status; // "complete" or "partial"
    QString effect;
    QMap<QString, std::optional<QString>> values;
    QStringList order; // variables in the order the movie reported them

    static std::optional<LoadedReport> parse(const QString& text)
    {
        LoadedReport report;
        const qsizetype bar1 = text.indexOf(QLatin1Char('|'));
        const qsizetype bar2 = text.indexOf(QLatin1Char('|'), bar1 + 1);
        if (bar1 < 0 || bar2 < 0)
            return std::nullopt;
        report.status = text.left(bar1);
        report.effect = text.mid(bar1 + 1, bar2 - bar1 - 1);
        qsizetype i = bar2 + 1;
        while (i < text.size()) {
            const qsizetype eq = text.indexOf(QLatin1Char('='), i);
            const qsizetype colon = text.indexOf(QLatin1Char(':'), eq + 1);
            if (eq < 0 || colon < 0)
                return std::nullopt;
            bool ok = false;
            const int length = text.mid(eq + 1, colon - eq - 1).toInt(&ok);
            const qsizetype n = qMax(length, 0);
            if (!ok || colon + 1 + n >= text.size() || text.at(colon + 1 + n) != QLatin1Char(';'))
                return std::nullopt;
            const QString name = text.mid(i, eq - i);
            report.order.append(name);
            report.values.insert(name,
                                 length < 0 ? std::nullopt : std::optional(text.mid(colon + 1, n)));
            i = colon + 1 + n + 1;
        }
        return report;
    }
};
