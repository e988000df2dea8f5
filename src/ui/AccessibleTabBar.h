#pragma once

class QObject;
class QAccessibleInterface;
class QString;

// Qt tells a hidden tab of a tab bar as showing, so a screen reader reads out
// pages the window hides (the service page "Trace", the item pages of other
// unit types). The window's tab bars get an accessible interface of their
// own, one child per tab as Qt numbers them, each hidden tab told invisible.
namespace AccessibleTabBar {

// The factory for QAccessible::installFactory: an interface for a QTabBar.
QAccessibleInterface *factory(const QString &className, QObject *object);

// Installs the factory; installing it again changes nothing.
void install();

} // namespace AccessibleTabBar
