#pragma once

#include "DrivePaths.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace lq {

// What keeps a file from being played as a movie, in plain words that complete "it cannot be
// played: ..."; nothing when it looks like a movie. Only what can be told cheaply, before the
// player is asked: the file is there, is a file, can be read, is not empty, starts with an SWF
// signature and, uncompressed, is as long as its header says. The file is opened only through
// openRegularFile, so a named pipe or a device swapped in meanwhile is never waited on.
std::optional<QString> movieFileProblem(int folderFd, const QByteArray& name);

// The same for where a movie's fixed path led, for anything but a path that leads out of its
// drive (which the caller words itself).
std::optional<QString> movieFileProblem(const DrivePaths::Location& location);

// The same for a movie already read whole, as publishing takes it.
std::optional<QString> movieBytesProblem(QByteArrayView bytes);

} // namespace lq
