#include "AccessibleTabBar.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <QTabBar>

namespace {

// One tab: its caption, and whether it shows, is chosen or can be chosen.
class AccessibleTab : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    AccessibleTab(QTabBar *bar, int index) : m_bar(bar), m_index(index) {}

    bool isValid() const override { return m_bar && m_index < m_bar->count(); }
    QObject *object() const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_bar); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return QString();
        switch (t) {
        case QAccessible::Name: {
            const QString name = m_bar->accessibleTabName(m_index);
            return name.isEmpty() ? QString(m_bar->tabText(m_index)).remove(u'&') : name;
        }
        case QAccessible::Description: return m_bar->tabToolTip(m_index);
        default: return QString();
        }
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!isValid() || !m_bar->isTabVisible(m_index))
            return QRect();
        const QRect r = m_bar->tabRect(m_index);
        return QRect(m_bar->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invisible = true;
            return s;
        }
        s.invisible = !m_bar->isVisible() || !m_bar->isTabVisible(m_index);
        s.disabled = !m_bar->isEnabled() || !m_bar->isTabEnabled(m_index);
        s.selectable = true;
        s.selected = m_bar->currentIndex() == m_index;
        s.focusable = !s.invisible;
        s.focused = s.selected && m_bar->hasFocus();
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override
    {
        if (name == pressAction() && isValid() && m_bar->isTabVisible(m_index) && m_bar->isTabEnabled(m_index))
            m_bar->setCurrentIndex(m_index);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<QTabBar> m_bar;
    int m_index;
};

// The bar: its tabs as children, numbered as the bar numbers them, so Qt's
// own events for a tab ("tab 3 chosen") name the right child.
class AccessibleBar : public QAccessibleWidget
{
public:
    explicit AccessibleBar(QTabBar *bar) : QAccessibleWidget(bar, QAccessible::PageTabList) {}
    ~AccessibleBar() override
    {
        for (const QAccessible::Id id : std::as_const(m_tabs))
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return bar()->count(); }
    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= bar()->count())
            return nullptr;
        if (const auto found = m_tabs.constFind(index); found != m_tabs.constEnd())
            return QAccessible::accessibleInterface(*found);
        auto *tab = new AccessibleTab(bar(), index);
        m_tabs.insert(index, QAccessible::registerAccessibleInterface(tab));
        return tab;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (auto it = m_tabs.constBegin(); it != m_tabs.constEnd(); ++it) {
            if (QAccessible::accessibleInterface(it.value()) == child)
                return it.key();
        }
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        for (int i = 0; i < childCount(); ++i) {
            QAccessibleInterface *tab = child(i);
            if (tab && tab->rect().contains(x, y))
                return tab;
        }
        return nullptr;
    }
    QAccessibleInterface *focusChild() const override
    {
        return bar()->hasFocus() ? child(bar()->currentIndex()) : nullptr;
    }

private:
    QTabBar *bar() const { return static_cast<QTabBar *>(widget()); }

    mutable QHash<int, QAccessible::Id> m_tabs;
};

} // namespace

namespace AccessibleTabBar {

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("QTabBar"))
        if (auto *bar = qobject_cast<QTabBar *>(object))
            return new AccessibleBar(bar);
    return nullptr;
}

void install()
{
    QAccessible::removeFactory(&factory);
    QAccessible::installFactory(&factory);
}

} // namespace AccessibleTabBar
