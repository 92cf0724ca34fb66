#pragma once

#include <QFile>
#include <QString>
#include <atomic>
#include <cstdio>
#include <thread>
#include <unistd.h>

// A symbolic link switched on and on, by a thread of its own, between two targets: each switch
// puts a fresh link in its place in one step (a rename), as someone racing the program would.
// Keep the targets short (a relative one inside): on ext4 a target longer than 59 bytes takes a
// disk block to make, and the link then lingers on the other target for most of the run.
class LinkSwitcher
{
public:
    LinkSwitcher(const QString& link, const QString& first, const QString& second)
        : m_link(QFile::encodeName(link)), m_first(QFile::encodeName(first)),
          m_second(QFile::encodeName(second)), m_thread([this] { run(); })
    {}
    ~LinkSwitcher() { stop(); }

    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    void switchTo(const QByteArray& target)
    {
        const QByteArray fresh = m_link + ".switching";
        ::unlink(fresh.constData());
        if (::symlink(target.constData(), fresh.constData()) == 0)
            std::rename(fresh.constData(), m_link.constData());
    }

    void run()
    {
        for (bool second = true; !m_stop; second = !second)
            switchTo(second ? m_second : m_first);
    }

    QByteArray m_link;
    QByteArray m_first;
    QByteArray m_second;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
