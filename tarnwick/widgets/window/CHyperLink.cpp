#include "tarnwick/widgets/window/CHyperLink.h"

#include "tarnwick/widgets/common/UrlOpener.h"

#include <QApplication>
#include <QMouseEvent>

namespace tarnwick {

CHyperLink::CHyperLink(QWidget* parent)
    : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    // Rich text would turn the label's text into markup of its own.
    setTextFormat(Qt::PlainText);
    ApplyLook();
}

QColor CHyperLink::TextColour() const
{
    return QColor::fromRgb(m_bVisited ? kVisitedColour : kLinkColour);
}

void CHyperLink::ApplyLook()
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, TextColour());
    setPalette(palette);
    QFont linkFont = font();
    if (!linkFont.underline()) {
        linkFont.setUnderline(true);
        setFont(linkFont);
    }
}

void CHyperLink::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange && !font().underline()) {
        QFont linkFont = font();
        linkFont.setUnderline(true);
        setFont(linkFont);
    }
}

bool CHyperLink::Open()
{
    if (m_strUrl.isEmpty())
        m_strUrl = text();
    const bool visitedBefore = m_bVisited;
    const auto failed = [this, visitedBefore](const QString& text) {
        QApplication::beep();
        m_bVisited = visitedBefore;
        ApplyLook();
        update();
        Q_EMIT openFailed(text);
    };
    if (!OpenUrl(QUrl::fromUserInput(m_strUrl), this, failed))
        return false;
    m_bVisited = true;
    ApplyLook();
    update();
    return true;
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Open();
}

} // namespace tarnwick
