#pragma once

#include <QByteArray>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace monkey {

// What the template folders of a private drive must hold, and the ways the monkey breaks them.
//
// Every content file is either absent or holds exactly the bytes of its last confirmed save (or
// of an earlier session). Now and then a folder goes missing (sometimes with a file taking its
// name), a content file turns read-only or a folder stands in its place, a folder turns
// read-only; later each is mended. Paths are worked out here from the fixed Windows paths, spelled
// exactly as the table has them, without the program's own path mapping.
class DiskModel
{
public:
    using Report = std::function<void(const QString&)>;

    enum class Outcome {
        Confirmed, // nothing stands in the way
        Refused,   // the folder is missing, the file read-only or a folder
        Either,    // a read-only folder: refused, unless the user may write anywhere (root)
    };

    // driveC: the local folder standing for "C:\". log and fail report to the monkey.
    DiskModel(QString driveC, QRandomGenerator& rng, Report log, Report fail);
    // Mends everything, so that the private drive can be removed.
    ~DiskModel();
    DiskModel(const DiskModel&) = delete;
    DiskModel& operator=(const DiskModel&) = delete;

    // Creates the template folders and, for every other content file, a file left by an earlier
    // session.
    void prepare();

    // What a save into this content file must come to, as far as the disk decides it.
    Outcome outcomeOfSave(const QString& windowsPath) const;
    // A save was confirmed: the file must now hold these bytes.
    void saved(const QString& windowsPath, const QByteArray& bytes);

    // Breaks something new or mends something broken; false when there was nothing to do.
    bool change();

    // Every content file as expected, and nothing else in the template folders (no temporary
    // file of a failed save, no stray copy).
    void checkAll() const;
    void check(const QString& windowsPath) const;

private:
    bool mend();
    void takeFolderAway(const QStringList& present);
    bool makeFileReadOnly(const QStringList& present);
    bool putFolderInPlaceOfFile(const QStringList& present);
    bool makeFolderReadOnly(const QStringList& present);

    QStringList templateFolders() const;
    QStringList presentFolders() const;
    static QString folderOf(const QString& windowsPath);
    QString localFolder(const QString& windowsFolder) const;
    QString awayFolder(const QString& windowsFolder) const;
    QString localFile(const QString& windowsPath) const;
    int pick(qsizetype n) { return int(m_rng.bounded(quint32(n))); }

    QString m_driveC;
    QRandomGenerator& m_rng;
    Report m_log;
    Report m_fail;

    QHash<QString, std::optional<QByteArray>> m_files; // by Windows path; nothing: no file
    QHash<QString, QStringList> m_fileNames;           // content file names by Windows folder
    QSet<QString> m_awayFolders;
    QSet<QString> m_squattedFolders; // away, with a file in their place
    QSet<QString> m_readOnlyFiles;
    QSet<QString> m_occupiedFiles; // a folder stands where the content file should be
    QSet<QString> m_readOnlyFolders;
};

} // namespace monkey
