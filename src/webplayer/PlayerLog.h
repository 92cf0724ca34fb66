#pragma once

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QString>
#include <QUrl>

namespace lq {

// What the player, its page and the movies in it say. Warnings only by default: the rest helps a
// developer, who turns it on with QT_LOGGING_RULES="lumenquill.player.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

// The one way into the log for anything the player page or a movie says. A movie chooses those
// words, as many and as long as it likes, and may quote its own URL, which holds the server's
// secret; so every line has the secret taken out, is kept to one line of bounded length, and no
// more than a few lines a second go through. Lines the category would not show cost nothing.
class PlayerLogGate
{
public:
    static constexpr qsizetype kMaxLineChars = 300;
    static constexpr int kLinesPerSecond = 20;

    // The player page's URL, "http://127.0.0.1:<port>/<secret>/player.html": what stands before
    // the path below the secret is taken out of URLs, and the secret is never logged, wherever
    // it stands. The gate serves one thread, the GUI thread.
    explicit PlayerLogGate(const QUrl& pageUrl);

    // Logs the text under lcPlayer at the given level, if the category shows that level and this
    // second's lines are not used up.
    void log(QtMsgType type, const QString& text)
    {
        if (admits(type))
            write(type, text);
    }

    // For a line that takes work to make: whether one at this level may go now (counted as
    // gone, or as dropped), and then the line itself.
    bool admits(QtMsgType type) { return admits(type, m_clock.elapsed()); }
    // The same, at a moment given in milliseconds since the gate was made.
    bool admits(QtMsgType type, qint64 nowMs);
    void write(QtMsgType type, const QString& text) const;

    // The text as it may be logged: without the secret, on one line, cut to the bound.
    QString clean(const QString& text) const;

private:
    QString m_site;
    QString m_secret;
    QElapsedTimer m_clock;
    qint64 m_secondStart = 0;
    int m_linesThisSecond = 0;
    qint64 m_dropped = 0;
};

} // namespace lq
