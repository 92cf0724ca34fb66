#include "PlayerLog.h"

namespace lq {

Q_LOGGING_CATEGORY(lcPlayer, "lumenquill.player", QtWarningMsg)

namespace {

void writeLine(QtMsgType type, const QString& line)
{
    switch (type) {
    case QtDebugMsg:
        qCDebug(lcPlayer).noquote() << line;
        break;
    case QtInfoMsg:
        qCInfo(lcPlayer).noquote() << line;
        break;
    default:
        qCWarning(lcPlayer).noquote() << line;
        break;
    }
}

} // namespace

PlayerLogGate::PlayerLogGate(const QUrl& pageUrl)
    // "/<secret>/player.html": the first part of the path is the secret.
    : m_secret(pageUrl.path().section(QLatin1Char('/'), 1, 1))
{
    if (!m_secret.isEmpty())
        m_site = pageUrl.toString(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment) +
                 QLatin1Char('/') + m_secret;
    m_clock.start();
}

QString PlayerLogGate::clean(const QString& text) const
{
    // Enough is kept before the secret is looked for that none is cut in half at the bound.
    QString line = text.left(kMaxLineChars + m_site.size());
    if (!m_site.isEmpty())
        line.replace(m_site, QString(), Qt::CaseInsensitive);
    if (!m_secret.isEmpty())
        line.replace(m_secret, QStringLiteral("<secret>"), Qt::CaseInsensitive);
    // A movie's text must not pass for lines of the program's own.
    line.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    line.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    if (line.size() > kMaxLineChars || text.size() > kMaxLineChars + m_site.size()) {
        line.truncate(kMaxLineChars);
        line += QStringLiteral(" [cut: %1 characters in all]").arg(text.size());
    }
    return line;
}

bool PlayerLogGate::admits(QtMsgType type, qint64 nowMs)
{
    if (!lcPlayer().isEnabled(type))
        return false;
    if (nowMs - m_secondStart >= 1000) {
        m_secondStart = nowMs;
        m_linesThisSecond = 0;
        if (m_dropped > 0) {
            writeLine(QtWarningMsg, QStringLiteral("%1 more lines from the player were not logged "
                                                   "(more than %2 a second)")
                                        .arg(m_dropped)
                                        .arg(kLinesPerSecond));
            m_dropped = 0;
        }
    }
    if (m_linesThisSecond >= kLinesPerSecond) {
        ++m_dropped;
        return false;
    }
    ++m_linesThisSecond;
    return true;
}

void PlayerLogGate::write(QtMsgType type, const QString& text) const
{
    writeLine(type, clean(text));
}

} // namespace lq
