#pragma once

#include "tarnwick/widgets/common/QuestionBox.h"

#include <QMessageBox>
#include <QString>

#include <string_view>

namespace tarnwick {

// A text of the program for a widget: UTF-8, with its CR LF line ends as the
// single line feeds that Qt's widgets break at.
inline QString UserText(std::string_view text)
{
    QString result = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return result;
}

// The sheet's message boxes ("Fehler" with the stop icon, questions with Yes/No).
inline QMessageBox::StandardButton ShowMessage(QWidget* parent, QMessageBox::Icon icon, std::string_view caption,
                                               std::string_view text,
                                               QMessageBox::StandardButtons buttons = QMessageBox::Ok)
{
    if (buttons == (QMessageBox::Yes | QMessageBox::No))
        return AskYesNo(parent, icon, UserText(caption), UserText(text));
    QMessageBox box(icon, UserText(caption), UserText(text), buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace tarnwick
