#pragma once

#include "DrivePaths.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// A private data location for one test: the program's drive folders live inside it, so tests
// never touch the user's own templates.
class TestDrive
{
public:
    TestDrive() { qputenv("XDG_DATA_HOME", m_home.path().toUtf8()); }

    // In a fresh folder below parent instead of the temporary folder (a RAM disk, say).
    explicit TestDrive(const QString& parent) : m_home(parent + QStringLiteral("/lq-test-XXXXXX"))
    {
        qputenv("XDG_DATA_HOME", m_home.path().toUtf8());
    }

    QString home() const { return m_home.path(); }
    QString driveC() const { return m_home.path() + QStringLiteral("/lumen-quill/drive_c"); }

    // Creates a folder given as a local path below drive_c ("lumenquill/vector").
    QString makeFolder(const QString& relative) const
    {
        const QString path = driveC() + QLatin1Char('/') + relative;
        QDir().mkpath(path);
        return path;
    }

    // The template folders of every content file, as a fresh installation has them.
    void makeTemplateFolders() const
    {
        for (const char* folder :
             {"lumenquill/Fireworks", "lumenquill/vector", "lumenquill/3d", "lumenquill/flowers",
              "lumenquill/cube", "lumenquill/spirograph", "lumenquill/matrix", "lumen quill"})
            makeFolder(QString::fromLatin1(folder));
    }

    static QByteArray read(const QString& localPath)
    {
        QFile file(localPath);
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray("<missing>");
        return file.readAll();
    }

    // The bytes of the file that a fixed Windows path stands for.
    static QByteArray readWindowsPath(const QString& windowsPath)
    {
        const auto local = lq::DrivePaths::toLocal(windowsPath);
        return local ? read(*local) : QByteArray("<unmapped>");
    }

private:
    QTemporaryDir m_home;
};
