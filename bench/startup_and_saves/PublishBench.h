#pragma once

#include <QString>

namespace bench {

// Publishing the Vector template with its six texts saved, as a user runs it from the command
// line (the process's whole life, medians), the one page's size, and its first frame in headless
// Chromium from file:// (a fresh browser each run, medians), beside the web folder's over HTTP.
struct PublishFigures
{
    bool ok = false;
    QString problem;
    int runs = 0;
    double folderMs = 0;
    double pageMs = 0;
    qint64 pageBytes = 0;
    int frameRuns = 0;
    double firstFrameMs = 0;
    // The same for the web folder served over HTTP from a sub-path, measured beside it.
    int folderFrameRuns = 0;
    double folderFirstFrameMs = 0;
    // What a visitor downloads of it by the first frame, from a server that does not compress.
    qint64 folderDownloadBytes = 0;
};

PublishFigures measurePublishing(const QString& program, const QString& firstFrameScript, int runs,
                                 int frameRuns);

} // namespace bench
