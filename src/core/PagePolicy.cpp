#include "PagePolicy.h"

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

QByteArray pagePolicy(const QByteArray& page, PageOrigin origin, PolicyDelivery delivery)
{
    const QByteArray own = origin == PageOrigin::OwnSite ? "'self' " : "";
    QByteArray policy = "default-src 'none'; script-src " + own + "'wasm-unsafe-eval'" +
                        inlineScriptHashes(page) + "; style-src " + own +
                        "'unsafe-inline'; img-src " + own + "data: blob:; media-src " + own +
                        "data: blob:; font-src " + own + "data:; connect-src " + own +
                        "data: blob:; worker-src " + own +
                        "blob:; frame-src 'none'; object-src 'none'; base-uri 'none'; "
                        "form-action 'none'";
    if (delivery == PolicyDelivery::Header)
        policy += "; frame-ancestors 'none'";
    return policy;
}

} // namespace lq
