#pragma once

#include "link/LinkState.h"

#include <QWidget>

class QLabel;

// One line beside the TxD/RxD indicators that reads the link state: the port
// and the device it reaches, then how the link stands, e.g.
// "Com 1 = /dev/ttyUSB0 · unit answering";
// "Com 1 = /dev/ttyUSB0 · waiting for the device" while the port is closed
// because its device is not there;
// "Com 1 = /tmp/unit · another device than before · port open" after a reopen
// that reached another device file behind the same name;
// "Com 1 = rfc2217://10.0.4.7:4001 · values must be read again · port open"
// after a reopen that may have reached another unit, until the unit answers;
// "Com 1 = rfc2217://10.0.4.7:4001 · connecting · last try: 10.0.4.7:4001:
// connection refused" while a network port is tried again after a failure.
// An icon and a colour go with the words; the words alone say it all.
class LinkStatusLine : public QWidget
{
    Q_OBJECT

public:
    explicit LinkStatusLine(QWidget *parent = nullptr);

    // Shows the state; called from the link state's listener, so only on events.
    void showState(const LinkState &link);

    // The words for a state.
    static QString text(const LinkState &link);

    // A serial device plugged in while the port waits for its own, offered
    // after the state ("New serial device /dev/ttyUSB1 — press Find unit");
    // empty offers none.
    void setOffer(const QString &device);

    QString shownText() const;
    LinkState::State shownState() const { return m_state; }

private:
    void showText();

    QLabel *m_icon = nullptr;
    QLabel *m_text = nullptr;
    LinkState::State m_state = LinkState::State::Closed;
    bool m_shown = false;
    QString m_stateText;
    QString m_tip; // beyond the text
    QString m_offer;
    // Why the last open of this device failed, kept in view while it is tried again.
    QString m_lastTry;
    QString m_lastTryDevice;
};
