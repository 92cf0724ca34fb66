#include "DiskModel.h"

#include "Tables.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace monkey {

namespace {

// What the file that takes a missing folder's place holds.
const QByteArray kSquatter = "not a folder\n";

constexpr auto kWritableFile =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
constexpr auto kReadOnlyFile = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
constexpr auto kWritableFolder =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup;
constexpr auto kReadOnlyFolder =
    QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString describeDifference(const QByteArray& expected, const QByteArray& found)
{
    qsizetype at = 0;
    while (at < expected.size() && at < found.size() && expected[at] == found[at])
        ++at;
    return QStringLiteral("expected %1 bytes, found %2; first difference at byte %3 "
                          "(expected %4, found %5)")
        .arg(expected.size())
        .arg(found.size())
        .arg(at)
        .arg(QString::fromLatin1(expected.mid(at, 12).toHex(' ')),
             QString::fromLatin1(found.mid(at, 12).toHex(' ')));
}

} // namespace

DiskModel::DiskModel(QString driveC, QRandomGenerator& rng, Report log, Report fail)
    : m_driveC(std::move(driveC)), m_rng(rng), m_log(std::move(log)), m_fail(std::move(fail))
{
    for (const lq::ContentFile& row : lq::contentFiles()) {
        m_files.insert(row.path, std::nullopt);
        m_fileNames[folderOf(row.path)] << row.path.section(u'\\', -1);
    }
}

DiskModel::~DiskModel()
{
    for (const QString& folder : std::as_const(m_squattedFolders))
        QFile::remove(localFolder(folder));
    for (const QString& folder : std::as_const(m_awayFolders))
        QDir().rename(awayFolder(folder), localFolder(folder));
    for (const QString& folder : std::as_const(m_readOnlyFolders))
        QFile::setPermissions(localFolder(folder), kWritableFolder);
    for (const QString& path : std::as_const(m_readOnlyFiles))
        QFile::setPermissions(localFile(path), kWritableFile);
}

void DiskModel::prepare()
{
    for (const QString& folder : templateFolders())
        QDir().mkpath(localFolder(folder));
    int n = 0;
    for (const lq::ContentFile& row : lq::contentFiles()) {
        if (++n % 2)
            continue;
        const QByteArray bytes = row.variable().toLatin1() + "=from an earlier session \xE9t\xE9 " +
                                 QByteArray::number(n) + "\r\n";
        if (!writeAll(localFile(row.path), bytes))
            m_fail(QStringLiteral("could not prepare %1").arg(row.path));
        m_files[row.path] = bytes;
    }
}

DiskModel::Outcome DiskModel::outcomeOfSave(const QString& windowsPath) const
{
    const QString folder = folderOf(windowsPath);
    if (m_awayFolders.contains(folder) || m_readOnlyFiles.contains(windowsPath) ||
        m_occupiedFiles.contains(windowsPath))
        return Outcome::Refused;
    if (m_readOnlyFolders.contains(folder))
        return Outcome::Either;
    return Outcome::Confirmed;
}

void DiskModel::saved(const QString& windowsPath, const QByteArray& bytes)
{
    m_files[windowsPath] = bytes;
}

bool DiskModel::change()
{
    const qsizetype broken = m_awayFolders.size() + m_readOnlyFiles.size() +
                             m_readOnlyFolders.size() + m_occupiedFiles.size();
    // The more is broken, the likelier a repair, so the run spends most of its time whole.
    if (broken > 0 && m_rng.bounded(4) < qMin(quint32(broken) + 1, 3u))
        return mend();

    const QStringList present = presentFolders();
    switch (m_rng.bounded(4)) {
    case 0:
        if (present.isEmpty())
            return false;
        takeFolderAway(present);
        return true;
    case 1:
        return makeFileReadOnly(present);
    case 2:
        return putFolderInPlaceOfFile(present);
    default:
        return makeFolderReadOnly(present);
    }
}

void DiskModel::takeFolderAway(const QStringList& present)
{
    const QString folder = present[pick(present.size())];
    // Now and then a file takes the missing folder's name.
    const bool squat = m_rng.bounded(3) == 0;
    m_log(QStringLiteral("take the folder %1 away%2")
              .arg(folder, squat ? QStringLiteral(" and put a file in its place") : QString()));
    if (!QDir().rename(localFolder(folder), awayFolder(folder)))
        m_fail(QStringLiteral("could not move %1 aside").arg(localFolder(folder)));
    m_awayFolders.insert(folder);
    if (squat) {
        if (!writeAll(localFolder(folder), kSquatter))
            m_fail(QStringLiteral("could not put a file at %1").arg(localFolder(folder)));
        m_squattedFolders.insert(folder);
    }
}

bool DiskModel::makeFileReadOnly(const QStringList& present)
{
    QStringList candidates;
    for (const lq::ContentFile& row : lq::contentFiles()) {
        if (m_files.value(row.path) && !m_readOnlyFiles.contains(row.path) &&
            !m_occupiedFiles.contains(row.path) && present.contains(folderOf(row.path)))
            candidates << row.path;
    }
    if (candidates.isEmpty())
        return false;
    const QString path = candidates[pick(candidates.size())];
    m_log(QStringLiteral("make %1 read-only").arg(path));
    QFile::setPermissions(localFile(path), kReadOnlyFile);
    m_readOnlyFiles.insert(path);
    return true;
}

bool DiskModel::putFolderInPlaceOfFile(const QStringList& present)
{
    QStringList candidates;
    for (const lq::ContentFile& row : lq::contentFiles()) {
        const QString folder = folderOf(row.path);
        if (!m_readOnlyFiles.contains(row.path) && !m_occupiedFiles.contains(row.path) &&
            present.contains(folder) && !m_readOnlyFolders.contains(folder))
            candidates << row.path;
    }
    if (candidates.isEmpty())
        return false;
    const QString path = candidates[pick(candidates.size())];
    m_log(QStringLiteral("put a folder in the place of %1").arg(path));
    QFile::remove(localFile(path));
    if (!QDir().mkdir(localFile(path)))
        m_fail(QStringLiteral("could not make a folder at %1").arg(localFile(path)));
    m_occupiedFiles.insert(path);
    return true;
}

bool DiskModel::makeFolderReadOnly(const QStringList& present)
{
    QStringList candidates;
    for (const QString& folder : present) {
        bool occupied = false;
        for (const QString& path : std::as_const(m_occupiedFiles))
            occupied = occupied || folderOf(path) == folder;
        if (!m_readOnlyFolders.contains(folder) && !occupied)
            candidates << folder;
    }
    if (candidates.isEmpty())
        return false;
    const QString folder = candidates[pick(candidates.size())];
    m_log(QStringLiteral("make the folder %1 read-only").arg(folder));
    QFile::setPermissions(localFolder(folder), kReadOnlyFolder);
    m_readOnlyFolders.insert(folder);
    return true;
}

bool DiskModel::mend()
{
    QStringList faults;
    for (const QString& folder : std::as_const(m_awayFolders))
        faults << u'a' + folder;
    for (const QString& path : std::as_const(m_readOnlyFiles))
        faults << u'f' + path;
    for (const QString& folder : std::as_const(m_readOnlyFolders))
        faults << u'd' + folder;
    for (const QString& path : std::as_const(m_occupiedFiles))
        faults << u'o' + path;
    faults.sort(); // sets have no stable order; the run must replay exactly
    const QString fault = faults[pick(faults.size())];
    const QString what = fault.mid(1);
    switch (fault.front().unicode()) {
    case 'a':
        m_log(QStringLiteral("bring the folder %1 back").arg(what));
        if (m_squattedFolders.remove(what)) {
            // The program must have left the file in the folder's place alone.
            if (readAll(localFolder(what)) != kSquatter)
                m_fail(QStringLiteral("the file in the place of %1 was changed").arg(what));
            QFile::remove(localFolder(what));
        }
        // The program never creates a template folder, so the old one can take its place.
        if (QFileInfo::exists(localFolder(what)))
            m_fail(QStringLiteral("the folder %1 was created while it was missing").arg(what));
        else if (!QDir().rename(awayFolder(what), localFolder(what)))
            m_fail(QStringLiteral("could not bring %1 back").arg(localFolder(what)));
        m_awayFolders.remove(what);
        break;
    case 'o':
        m_log(QStringLiteral("put %1 back in the place of its folder").arg(what));
        if (!QDir().rmdir(localFile(what)))
            m_fail(QStringLiteral("could not remove the folder at %1").arg(localFile(what)));
        m_occupiedFiles.remove(what);
        if (const auto bytes = m_files.value(what); bytes && !writeAll(localFile(what), *bytes))
            m_fail(QStringLiteral("could not put %1 back").arg(what));
        break;
    case 'f':
        m_log(QStringLiteral("make %1 writable again").arg(what));
        QFile::setPermissions(localFile(what), kWritableFile);
        m_readOnlyFiles.remove(what);
        break;
    default:
        m_log(QStringLiteral("make the folder %1 writable again").arg(what));
        QFile::setPermissions(localFolder(what), kWritableFolder);
        m_readOnlyFolders.remove(what);
    }
    return true;
}

void DiskModel::checkAll() const
{
    for (const lq::ContentFile& row : lq::contentFiles())
        check(row.path);
    for (const QString& folder : templateFolders()) {
        const QString local =
            m_awayFolders.contains(folder) ? awayFolder(folder) : localFolder(folder);
        const QStringList entries = QDir(local).entryList(QDir::AllEntries | QDir::Hidden |
                                                          QDir::System | QDir::NoDotAndDotDot);
        for (const QString& entry : entries) {
            if (!m_fileNames.value(folder).contains(entry))
                m_fail(QStringLiteral("a stray %1 lies in %2").arg(entry, local));
        }
    }
}

void DiskModel::check(const QString& windowsPath) const
{
    const QString local = localFile(windowsPath);
    if (m_occupiedFiles.contains(windowsPath)) {
        if (!QFileInfo(local).isDir() || !QDir(local).isEmpty())
            m_fail(QStringLiteral("the folder in the place of %1 was changed").arg(windowsPath));
        return;
    }
    const std::optional<QByteArray> expected = m_files.value(windowsPath);
    if (!expected) {
        if (QFileInfo::exists(local))
            m_fail(QStringLiteral("%1 exists although no save was confirmed").arg(windowsPath));
        return;
    }
    if (!QFileInfo(local).isFile()) {
        m_fail(QStringLiteral("%1 is gone").arg(windowsPath));
        return;
    }
    const QByteArray found = readAll(local);
    if (found != *expected)
        m_fail(QStringLiteral("%1 holds the wrong bytes: %2")
                   .arg(windowsPath, describeDifference(*expected, found)));
}

QStringList DiskModel::templateFolders() const
{
    QStringList folders;
    for (const lq::ContentFile& row : lq::contentFiles()) {
        if (!folders.contains(folderOf(row.path)))
            folders << folderOf(row.path);
    }
    return folders;
}

QStringList DiskModel::presentFolders() const
{
    QStringList folders;
    for (const QString& folder : templateFolders()) {
        if (!m_awayFolders.contains(folder))
            folders << folder;
    }
    return folders;
}

QString DiskModel::folderOf(const QString& windowsPath)
{
    return windowsPath.section(u'\\', 0, -2);
}

QString DiskModel::localFolder(const QString& windowsFolder) const
{
    QString below = windowsFolder.mid(3);
    below.replace(u'\\', u'/');
    return m_driveC + u'/' + below;
}

QString DiskModel::awayFolder(const QString& windowsFolder) const
{
    return localFolder(windowsFolder) + QStringLiteral(".away");
}

QString DiskModel::localFile(const QString& windowsPath) const
{
    const QString folder = folderOf(windowsPath);
    return (m_awayFolders.contains(folder) ? awayFolder(folder) : localFolder(folder)) + u'/' +
           windowsPath.section(u'\\', -1);
}

} // namespace monkey
