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

// A message that offers one thing to do beside OK, such as opening what was just written. OK stays
// the default button and Escape closes the box as OK does. Returns true when the user chose the
// offered action.
bool offer(const QString& text, const QString& action);

// Who answers the offers instead of a person (the tests); true takes the action. An empty handler
// restores the real box.
using OfferHandler =
    std::function<bool(const QString& title, const QString& text, const QString& action)>;
void setOfferHandler(OfferHandler handler);

} // namespace lq::Messages
