#pragma once

class QWidget;
class QString;

namespace lq::Accessibility {

// Makes the program read to assistive technology (screen readers, through AT-SPI) as it looks:
// every window of its own is a frame, and the helper windows the toolkit makes for itself (the web
// view draws into one that is never shown) are not offered as windows. Call it before the
// application object exists, so that no accessible object has been handed out before.
void install();

// Sets what a reader says of a widget, and tells assistive technology when it changed, so that
// a reader speaks a changed description without the user having to ask again.
void setName(QWidget* widget, const QString& name);
void setDescription(QWidget* widget, const QString& description);

// Names a control that takes its accessible name from a label beside it rather than from
// setAccessibleName (on Linux, an editable combo box reads its text as its name), with a label
// that is never shown: the window looks as it did.
void labelUnseen(QWidget* widget, const QString& name);

} // namespace lq::Accessibility
