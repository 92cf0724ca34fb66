#pragma once

#include <QDir>
#include <QString>
#include <variant>

// What the steps of publishing (reading the drive, writing a place) hand each other.
namespace lq::publishing {

// A step that failed: the message for the user, without the leading "Cannot publish NAME: ".
struct Failure
{
    QString message;
};

template <typename T> using Result = std::variant<T, Failure>;

// A path as the user is shown it.
inline QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace lq::publishing
