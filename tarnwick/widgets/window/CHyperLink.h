#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

namespace tarnwick {

// A label that is a web link: underlined in link colours, a pointing hand
// over it, and a click opens its address in the browser. A failed opening
// beeps, keeps the colour and says why; a successful one turns it to the
// visited colour.
class CHyperLink : public QLabel
{
    Q_OBJECT
public:
    static constexpr QRgb kLinkColour = 0x0000FF;
    static constexpr QRgb kVisitedColour = 0x800080;

    explicit CHyperLink(QWidget* parent = nullptr);

    // The address to open; when empty, the label's own text is opened.
    void SetUrl(const QString& url) { m_strUrl = url; }
    QString Url() const { return m_strUrl; }
    bool IsVisited() const { return m_bVisited; }
    // The colour the text is drawn in now.
    QColor TextColour() const;

    // What a click does; false when the opening failed at once. A later
    // failure of the launcher takes the visited colour back.
    bool Open();

Q_SIGNALS:
    // What could not be opened and why (after the beep).
    void openFailed(const QString& text);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ApplyLook();

    QString m_strUrl;
    bool m_bVisited = false;
};

} // namespace tarnwick
