// Pieces the index dialogs of the New Table window share: how they are shown,
// their OK and Cancel row, and how a box looks when it is out of use.
#pragma once

class QDialog;
class QHBoxLayout;
class QPushButton;
class QWidget;

// Puts the default cursor back and shows the dialog modally through the
// services; true when it closed with OK.
bool RunIndexDialog(QDialog &dialog);

// The "OK" (default, accepts) and "Cancel" (rejects) buttons of a dialog,
// right-aligned in a row.
QHBoxLayout *OkCancelRow(QDialog &dialog, QPushButton *&OKBtn, QPushButton *&CancelBtn);

// Enables or disables a box and gives it the window colour when in use, the
// button-face colour when not.
void SetBoxInUse(QWidget *box, bool inUse);
