#pragma once

#include <QByteArray>

namespace lq {

// The Content-Security-Policy sources that let a page's own inline scripts run and no other:
// " 'sha256-…'" for the body of every <script>…</script> in the page, in order.
QByteArray inlineScriptHashes(const QByteArray& page);

// The source " 'sha256-…'" that lets one script with exactly this text run inline.
QByteArray scriptHashSource(const QByteArray& script);

} // namespace lq
