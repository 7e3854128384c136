#include "tarnwick/widgets/sheet/UpDownControl.h"

#include "tarnwick/settings/SettingsRules.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tarnwick {

UpDownControl::UpDownControl(QWidget* parent)
    : QWidget(parent)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* button : {m_up, m_down}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        button->setFixedWidth(18);
        layout->addWidget(button);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    connect(m_up, &QToolButton::clicked, this, [this] { StepBy(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { StepBy(-1); });
}

void UpDownControl::SetBuddy(QLineEdit* buddy)
{
    if (m_buddy)
        m_buddy->removeEventFilter(this);
    m_buddy = buddy;
    if (!m_buddy)
        return;
    m_buddy->installEventFilter(this);
    // The arrows stand as high as the field beside them.
    const int height = m_buddy->sizeHint().height();
    setFixedHeight(height);
    m_up->setFixedHeight(height / 2);
    m_down->setFixedHeight(height - height / 2);
    m_up->setIconSize(QSize(8, 8));
    m_down->setIconSize(QSize(8, 8));
}

void UpDownControl::SetRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
}

void UpDownControl::StepBy(int steps)
{
    if (!m_buddy || !isEnabled())
        return;
    const int value = std::clamp(FieldNumber(m_buddy->text()) + steps, m_minimum, m_maximum);
    m_buddy->setText(QString::number(value));
}

bool UpDownControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_buddy && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            StepBy(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tarnwick
