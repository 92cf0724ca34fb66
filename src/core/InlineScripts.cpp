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
        const QByteArray hash =
            QCryptographicHash::hash(page.mid(from, to - from), QCryptographicHash::Sha256);
        sources += " 'sha256-" + hash.toBase64() + '\'';
        from = to;
    }
    return sources;
}

} // namespace lq
