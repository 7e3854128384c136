#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace tarnwick {

// A question with the buttons Yes and No that only a button answers: Escape
// and the close box do nothing (Qt would take them as No, and a No often
// goes on with the action). Every Yes/No question of the programs uses it.
QMessageBox::StandardButton AskYesNo(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                     const QString& text);

} // namespace tarnwick
