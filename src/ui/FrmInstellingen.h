#pragma once

#include "protocol/LineCheckDriver.h"
#include "protocol/UnitProbe.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class OperatorView;
class LineCheckChart;
struct Outcome;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class Session;
class QTimer;

// The port settings dialog frmInstellingen: the serial port and the folder of
// the settings files. It shows them locked; "Change" unlocks them, "Save"
// stores and applies them at once, "Cancel" shows the stored values again,
// "Close" closes the dialog. Application-modal but shown without blocking, so
// the main window's timers keep running while it is open.
class FrmInstellingen : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kPortCount = 30;
    static const QColor kLockedText;

    // Loads the dialog (Form_Load); it deletes itself when closed.
    FrmInstellingen(Session &session, OperatorView &view, QWidget *parent);
    ~FrmInstellingen() override;

    void LockCombo();
    void UnlockCombo();
    void UpdateCombo();
    void ComboToSettings();

    bool isEditing() const;

    // How "Find unit" tries the ports it lists; by default on the real serial ports.
    using SearchMaker = std::function<std::unique_ptr<UnitSearch>(const QList<PortCandidate> &)>;
    void setSearchMaker(SearchMaker maker) { m_searchMaker = std::move(maker); }
    // Where "Find unit" looks for ports; by default the system's.
    void setPortSources(const PortSources &sources) { m_portSources = sources; }
    // Devices "Find unit" tries before any other (e.g. one just plugged in).
    void setFirstDevices(const QStringList &devices) { m_firstDevices = devices; }
    // The option that named this run's device ("--port", "--simulate"), for the words.
    void setRunPortOption(const QString &option) { m_runPortOption = option; }
    // Called with true before "Find unit" closes the tool's own port, false
    // after it is opened again: the engine must not reopen the port meanwhile.
    void setEngineHold(std::function<void(bool)> hold) { m_engineHold = std::move(hold); }
    // Uses the network port at Save (empty: none, back to the numbered port):
    // false, with the reason, when it cannot.
    using NetworkPortChooser = std::function<bool(const QString &address, QString *error)>;
    void setNetworkPortChooser(NetworkPortChooser choose) { m_chooseNetworkPort = std::move(choose); }
    // The network port in use as the dialog shows it stored; empty: none.
    void setNetworkPort(const QString &address);
    // The ports "Find unit" tries, in order: the first devices, the tool's own, every other.
    QList<PortCandidate> searchCandidates() const;
    bool isSearching() const;
    // "Check line": reads of item 0 on the tool's open port, one at a time,
    // as the main window's engine ticks; the last check stays on show.
    static constexpr int kCheckReads = 20;
    bool isChecking() const { return m_check && m_check->running(); }

public slots:
    void CmdWijzigen_Click();
    void CmdSave_Click();
    void CmdCancel_Click();
    void CmdClose_Click();
    void CmdFindUnit_Click();
    void CmdCheckLine_Click();

protected:
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // The tests look inside through this probe alone.
    friend class PortDialogProbe;

    QGridLayout *buildFields();
    void connectControls();
    void Form_Load();
    void Form_Deactivate();
    void showDevice();
    // The network port field as Save takes it: empty, or the address written
    // as the program writes it; nothing, after a message box, when it does not parse.
    std::optional<QString> enteredNetworkPort();
    void setEditing(bool editing);
    void searchTick();
    void searchDone();
    void checkEnded(LineCheckDriver::Ending ending);
    void endCheck(const QString &text);

    Session &m_session;
    OperatorView &m_view;
    QComboBox *m_comboCom;
    QLabel *m_device;
    QLineEdit *m_txtSetPath;
    QLineEdit *m_txtNetworkPort;
    QPushButton *m_cmdWijzigen;
    QPushButton *m_cmdClose;
    QPushButton *m_cmdSave;
    QPushButton *m_cmdCancel;
    QPushButton *m_cmdFindUnit;
    QPushButton *m_cmdCheckLine;
    QLabel *m_checkSummary;
    LineCheckChart *m_checkChart;
    QElapsedTimer m_checkClock;
    std::unique_ptr<LineCheckDriver> m_check;
    SearchMaker m_searchMaker;
    PortSources m_portSources;
    QStringList m_firstDevices;
    std::function<void(bool)> m_engineHold;
    NetworkPortChooser m_chooseNetworkPort;
    QString m_networkPort; // as stored
    QString m_runPortOption = QStringLiteral("--port");
    std::unique_ptr<UnitSearch> m_search;
    QTimer *m_searchTimer;
    bool m_wasEditing = false;
    // What the dialog showed, and the setup it showed it from, so Save knows
    // what the operator changed here and what another window saved meanwhile.
    int m_shownPortIndex = -1;
    QString m_shownSetPath;
    qint16 m_loadedCompoort = 0;
    QString m_loadedSetPath;
};
