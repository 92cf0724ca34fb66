#pragma once

#include <QMap>
#include <QString>

namespace lq {

// What a publication holds, by content: a hash per file. It travels inside the publication as
// kManifestName, so that the next upload sends only what changed and removes only what it wrote.
struct ManifestEntry
{
    QByteArray sha256; // hex
    qint64 size = 0;
    bool operator==(const ManifestEntry&) const = default;
};

using Manifest = QMap<QString, ManifestEntry>; // path below the publication, with '/'

inline const QString kManifestName = QStringLiteral("lumenquill-manifest.txt");

// Every file below `folder` (the manifest itself left out), hashed while read in pieces.
// Empty `error` on success.
Manifest manifestOfFolder(const QString& folder, QString* error);

QByteArray serializeManifest(const Manifest& manifest);
// False when the bytes are not a manifest of ours (then nothing of the folder is taken as ours).
bool parseManifest(const QByteArray& bytes, Manifest* manifest);

} // namespace lq
