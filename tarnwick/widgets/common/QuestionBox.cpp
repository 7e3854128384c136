#include "tarnwick/widgets/common/QuestionBox.h"

#include <QCloseEvent>
#include <QKeyEvent>

namespace tarnwick {

namespace {

class QuestionBox : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->matches(QKeySequence::Cancel)) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

} // namespace

QMessageBox::StandardButton AskYesNo(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                     const QString& text)
{
    QuestionBox box(icon, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    // Without a close button where the window manager honours the hint.
    box.setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace tarnwick
