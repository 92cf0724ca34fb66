#pragma once

#include <QByteArray>
#include <QList>

namespace lq {

// Where a page may load from besides itself.
enum class PageOrigin {
    Alone,   // nothing: everything it needs is inside it (one page, opened from a disk)
    OwnSite, // also its own site ('self'): the player's files and texts beside it
};

// How the policy reaches the browser: only a header can also forbid framing the page.
enum class PolicyDelivery { MetaElement, Header };

// The Content-Security-Policy of every page the program makes: its own inline scripts exactly as
// they are (by their hashes), never a script a movie makes up; the player's wasm compiled; inline
// styles for the player's controls; nothing fetched from anywhere else, no frames, no forms.
// `unpackedScripts` are scripts the page unpacks and runs inline itself (the player's code).
QByteArray pagePolicy(const QByteArray& page, PageOrigin origin, PolicyDelivery delivery,
                      const QList<QByteArray>& unpackedScripts = {});

// The sources that let a page's own inline scripts run and no other: " 'sha256-…'" for the body
// of every <script>…</script> in the page, in order.
QByteArray inlineScriptHashes(const QByteArray& page);

// The source " 'sha256-…'" that lets one script with exactly this text run inline.
QByteArray scriptHashSource(const QByteArray& script);

} // namespace lq
