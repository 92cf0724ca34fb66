#pragma once

#include <QString>

#include <functional>

namespace lq::Messages {

// Every message of the program goes through here: a modal box with the program's title,
// an OK button only and no icon. It returns once the user has pressed OK.
void show(const QString& text);

// Who answers the boxes instead of a person (the tests). An empty handler restores the real box.
using Handler = std::function<void(const QString& title, const QString& text)>;
void setHandler(Handler handler);

} // namespace lq::Messages
