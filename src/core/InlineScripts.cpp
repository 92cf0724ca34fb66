#include "InlineScripts.h"

#include <QByteArrayView>
#include <QCryptographicHash>

namespace lq {

QByteArray inlineScriptHashes(const QByteArray& page)
{
    QByteArray sources;
    static constexpr QByteArrayView open("<script>");
    static constexpr QByteArrayView close("</script>");
    for (qsizetype from = page.indexOf(open); from >= 0; from = page.indexOf(open, from)) {
        from += open.size();
        const qsizetype to = page.indexOf(close, from);
        if (to < 0)
            break;
        sources += scriptHashSource(page.mid(from, to - from));
        from = to;
    }
    return sources;
}

QByteArray scriptHashSource(const QByteArray& script)
{
    return " 'sha256-" + QCryptographicHash::hash(script, QCryptographicHash::Sha256).toBase64() +
           '\'';
}

} // namespace lq
