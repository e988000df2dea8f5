#pragma once

#include "model/Stores.h"
#include "protocol/Interface.h"

#include <QList>
#include <QObject>
#include <QString>

class OperatorView;
class QtItemControls;
class Session;

// "Write changes": the screen's bulk values as the target, the unit's read
// fresh, a confirmation of each setting that will change, then writes of only
// those and their read-back. The target is taken at the click on the button
// and handed to the engine with the request; at the click on OK the screen is
// taken again, and if it no longer shows that target nothing is written, so
// what goes to the unit is always what the screen showed when OK was clicked.
class WriteChanges : public QObject
{
    Q_OBJECT

public:
    WriteChanges(Session &session, const QtItemControls &controls, OperatorView &view, QObject *parent = nullptr);

    // The click on the button; the engine reads first, then asks. Gives the
    // values asked for.
    Stores::ValueStore start();

    // The confirmation's text: "2 settings will change:" and a line for each,
    // "ESPA In Time-out: 10 s -> 20 s", or that nothing will be written.
    static QString confirmationText(const QList<Interface::Change> &changes, const QtItemControls &controls);

private:
    void confirm(const QList<Interface::Change> &changes);
    Stores::ValueStore screenTarget() const;

    Session &m_session;
    const QtItemControls &m_controls;
    OperatorView &m_view;
    Stores::ValueStore m_target;
};
