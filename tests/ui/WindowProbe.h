#pragma once

#include "ui/FrmHoofdscherm.h"
#include "ui/FrmAbout.h"
#include "ui/FrmInstellingen.h"
#include "ui/SerialDeviceWatch.h"
#include "ui/TracePage.h"
#include "protocol/Session.h"
#include "protocol/WireTrace.h"
#include "ui/QtItemControls.h"

// What the tests look at inside the window and the port dialog, and nothing
// the programs need: the window's session and item controls, its trace, its
// open dialogs, its device watch, and the dialog's last line check.
class WindowProbe
{
public:
    explicit WindowProbe(FrmHoofdscherm &window) : m_window(window) {}

    Session &session() { return *m_window.m_session; }
    QtItemControls &itemControls() { return *m_window.m_controls; }
    WireTrace &wireTrace() { return *m_window.m_wireTrace; }
    TracePage &tracePage() { return *m_window.m_tracePage; }
    bool isTracing() const { return m_window.m_tracing; }
    // The open dialogs, or null.
    FrmInstellingen *instellingen() const { return m_window.m_instellingen; }
    FrmAbout *about() const { return m_window.m_about; }
    SerialDeviceWatch &deviceWatch() { return *m_window.m_deviceWatch; }

private:
    FrmHoofdscherm &m_window;
};

class PortDialogProbe
{
public:
    explicit PortDialogProbe(const FrmInstellingen &dialog) : m_dialog(dialog) {}

    const LineCheck *lastCheck() const { return m_dialog.m_check ? &m_dialog.m_check->check() : nullptr; }

private:
    const FrmInstellingen &m_dialog;
};
