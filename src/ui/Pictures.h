#pragma once

#include <QIcon>
#include <QString>

namespace lq::Pictures {

// The program's own small pictures, drawn in code: toolbar buttons ("effect", "tips", "web",
// "tutorial") and window icons ("main", "vector", "flowers", "spiro", "fireworks").
// An unknown key gives a null icon.
QIcon icon(const QString& key);

} // namespace lq::Pictures
