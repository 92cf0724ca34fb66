#pragma once

// What a program costs with every process it started: the web engine's zygotes start the
// renderer, so a program's tree is followed through children of children. Read from /proc, the
// same way for the program measured from outside and for a benchmark that measures itself.

#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>
#include <QStringList>
#include <unistd.h>

namespace bench {

// A field of /proc/<pid>/status or smaps_rollup, in KiB; -1 when it cannot be read.
inline long long procKiB(const QString& file, const QByteArray& field)
{
    QFile proc(file);
    if (!proc.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : proc.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// The fields of /proc/<pid>/stat after the name, which may hold blanks and brackets:
// [0] is the state, [1] the parent, [11] and [12] the user and system time in clock ticks.
inline QList<QByteArray> statFields(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ');
}

// root and all its descendants, from the parent links in /proc.
inline QList<qint64> processTree(qint64 root)
{
    QHash<qint64, QList<qint64>> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        const QList<QByteArray> fields = number ? statFields(pid) : QList<QByteArray>();
        if (fields.size() > 1)
            children[fields[1].toLongLong()].append(pid);
    }
    QList<qint64> tree{root};
    for (qsizetype i = 0; i < tree.size(); ++i)
        tree += children.value(tree[i]);
    return tree;
}

struct TreeMemory
{
    long long rssKiB = 0;
    long long pssKiB = 0; // shared pages counted in proportion: what the tree shares counts once
    int processes = 0;
};

inline TreeMemory memoryOfTree(qint64 root)
{
    TreeMemory memory;
    for (const qint64 pid : processTree(root)) {
        const QString proc = QStringLiteral("/proc/%1/").arg(pid);
        const long long rss = procKiB(proc + QStringLiteral("status"), "VmRSS:");
        const long long pss = procKiB(proc + QStringLiteral("smaps_rollup"), "Pss:");
        if (rss < 0)
            continue; // gone meanwhile, or a kernel thread
        memory.rssKiB += rss;
        memory.pssKiB += std::max(pss, 0LL);
        ++memory.processes;
    }
    return memory;
}

// User and system time of the whole tree so far, in seconds. A process that ends between two
// readings takes its time with it, so the tree is read while it is steady (a movie playing).
inline double cpuSecondsOfTree(qint64 root)
{
    long long ticks = 0;
    for (const qint64 pid : processTree(root)) {
        const QList<QByteArray> fields = statFields(pid);
        if (fields.size() > 12)
            ticks += fields[11].toLongLong() + fields[12].toLongLong();
    }
    return double(ticks) / double(sysconf(_SC_CLK_TCK));
}

} // namespace bench
