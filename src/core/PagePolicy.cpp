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

QByteArray pagePolicy(const QByteArray& page, PageOrigin origin, PolicyDelivery delivery,
                      const QList<QByteArray>& unpackedScripts)
{
    const QByteArray own = origin == PageOrigin::OwnSite ? "'self' " : "";
    QByteArray scripts = inlineScriptHashes(page);
    for (const QByteArray& script : unpackedScripts)
        scripts += scriptHashSource(script);
    QByteArray policy = "default-src 'none'; script-src " + own + "'wasm-unsafe-eval'" + scripts +
                        "; style-src " + own + "'unsafe-inline'; img-src " + own +
                        "data: blob:; media-src " + own + "data: blob:; font-src " + own +
                        "data:; connect-src " + own + "data: blob:; worker-src " + own +
                        "blob:; frame-src 'none'; object-src 'none'; base-uri 'none'; "
                        "form-action 'none'";
    if (delivery == PolicyDelivery::Header)
        policy += "; frame-ancestors 'none'";
    return policy;
}

} // namespace lq
