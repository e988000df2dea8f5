#include "WriteChanges.h"

#include "QtItemControls.h"
#include "UnitDifferences.h"

#include "binding/ModUnitUpdate.h"
#include "model/Branding.h"
#include "model/Items.h"
#include "protocol/OperatorView.h"
#include "protocol/Session.h"

#include <QTimer>

WriteChanges::WriteChanges(Session &session, const QtItemControls &controls, OperatorView &view, QObject *parent)
    : QObject(parent), m_session(session), m_controls(controls), m_view(view)
{
    // The engine tells the changes within its tick: the box is shown after it,
    // so the tick ends and the timers go on while the operator reads.
    m_session.engine.setChangesListener([this](const QList<Interface::Change> &changes) {
        QTimer::singleShot(0, this, [this, changes] { confirm(changes); });
    });
}

Stores::ValueStore WriteChanges::screenTarget() const
{
    // What a write would send: the screen as taking all values gives it.
    Stores taken = m_session.stores;
    ModUnitUpdate::TakeAllValues(taken, m_controls);
    return taken.workingValues;
}

Stores::ValueStore WriteChanges::start()
{
    m_target = screenTarget();
    m_session.engine.requestCommission(m_target, true);
    return m_target;
}

QString WriteChanges::confirmationText(const QList<Interface::Change> &changes, const QtItemControls &controls)
{
    if (changes.isEmpty())
        return QStringLiteral("The unit already holds these settings; nothing to write.");
    QStringList lines{changes.size() == 1 ? QStringLiteral("1 setting will change:")
                                          : QStringLiteral("%1 settings will change:").arg(changes.size())};
    for (const Interface::Change &change : changes) {
        QString name = controls.legendName(change.item);
        if (name.isEmpty())
            name = QStringLiteral("Item %1").arg(change.item);
        lines << QStringLiteral("%1: %2 \u2192 %3")
                     .arg(name, UnitDifferences::valueText(controls, change.item, change.before),
                          UnitDifferences::valueText(controls, change.item, change.after));
    }
    return lines.join(QStringLiteral("\r\n"));
}

void WriteChanges::confirm(const QList<Interface::Change> &changes)
{
    const QString text = confirmationText(changes, m_controls);
    if (changes.isEmpty()) {
        m_view.messageBox(text, Branding::kTitleBy, OperatorView::Icon::Information, OperatorView::Buttons::Ok);
        m_session.engine.confirmChanges(false);
        return;
    }
    bool go = m_view.messageBox(text, Branding::kTitleBy, OperatorView::Icon::None, OperatorView::Buttons::OkCancel)
        == OperatorView::Answer::Ok;
    // Changed on the screen while the unit was read: the list shown is not
    // what OK would write, so nothing is written and the operator asks again.
    if (go) {
        const Stores::ValueStore now = screenTarget();
        for (int n : Items::kBulkItems)
            go = go && now[n] == m_target[n];
        if (!go)
            m_view.messageBox(QStringLiteral("The screen changed while the unit was read; nothing was written. "
                                             "Click \"Write changes\" again to see the new list."),
                              Branding::kTitleBy, OperatorView::Icon::Information, OperatorView::Buttons::Ok);
    }
    m_session.engine.confirmChanges(go);
}
