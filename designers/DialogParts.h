// Pieces the alignment, size and scaling dialogs share: showing one with the
// normal arrow, the Enter key taken by a text box itself, and a box's text
// read as an integer.
#pragma once

#include "ui/DialogSupport.h"

#include <QString>
#include <QStringList>

#include <functional>

class QButtonGroup;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qvx::designers {

using qvx::ui::runDialog;

// Return and Enter typed in edit run action (an empty one swallows the key);
// either way the key never reaches the dialog's default button.
void onEnterKey(QLineEdit *edit, std::function<void()> action);

// Narrows a text box to what a number of a few digits needs.
void fitNumberBox(QLineEdit *edit);

// A group box titled title holding one radio item per entry of items, the
// items in choice (made here, owned by dialog) with ids from 0 in order;
// the first is checked. Both are named: groupName and choiceName.
QGroupBox *radioGroup(QDialog &dialog, const QString &title, const QStringList &items,
                      const QString &groupName, QButtonGroup *&choice, const QString &choiceName);

// Lays out a dialog of two number boxes over two choice groups, with "OK"
// (the default button, accepts) and "Cancel" (rejects) at the right; makes
// the two buttons. The alignment and size dialogs look alike this way.
void layOutBoxesAndGroups(QDialog &dialog, QLabel *firstLabel, QLineEdit *first, QLabel *secondLabel,
                          QLineEdit *second, QGroupBox *horizontal, QGroupBox *vertical, QPushButton *&ok,
                          QPushButton *&cancel);

using qvx::ui::integerOf;

} // namespace qvx::designers
