#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace tarnwick {

// Arrows beside a digits-only field (its buddy): a click or the arrow keys
// in the field step the field's number by one within the range and write it
// back without thousands separators. Typed text is not limited by the range.
class UpDownControl : public QWidget
{
    Q_OBJECT

public:
    explicit UpDownControl(QWidget* parent = nullptr);

    void SetBuddy(QLineEdit* buddy);
    void SetRange(int minimum, int maximum);
    int Minimum() const { return m_minimum; }
    int Maximum() const { return m_maximum; }

    void StepBy(int steps);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_buddy = nullptr;
    QToolButton* m_up = nullptr;
    QToolButton* m_down = nullptr;
    int m_minimum = 0;
    int m_maximum = 100;
};

} // namespace tarnwick
