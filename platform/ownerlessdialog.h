#pragma once

class QDialog;

// Shows `dialog` without an owner and waits until it has finished, leaving
// every other window usable meanwhile: QDialog::exec() would block them all.
// Returns the dialog's result.
int runOwnerlessDialog(QDialog& dialog);
