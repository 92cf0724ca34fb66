#pragma once

#include <QString>
#include <optional>

namespace lq {

// What keeps the file at a local path from being played as a movie, in plain words that complete
// "it cannot be played: ..."; nothing when it looks like a movie. Only what can be told cheaply,
// before the player is asked: the file is there, is a file, can be read, is not empty, starts with
// an SWF signature and, uncompressed, is as long as its header says.
std::optional<QString> movieFileProblem(const QString& localPath);

} // namespace lq
