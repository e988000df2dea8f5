#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class OperatorView;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Session;
class QTimer;
class UnitSearch;

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

    // The ports "Find unit" tries; by default every serial port the system reports.
    using SearchMaker = std::function<std::unique_ptr<UnitSearch>()>;
    void setSearchMaker(SearchMaker maker) { m_searchMaker = std::move(maker); }
    bool isSearching() const;

public slots:
    void CmdWijzigen_Click();
    void CmdSave_Click();
    void CmdCancel_Click();
    void CmdClose_Click();
    void CmdFindUnit_Click();

protected:
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void Form_Deactivate();
    void showDevice();
    void setEditing(bool editing);
    void searchTick();
    void searchDone();

    Session &m_session;
    OperatorView &m_view;
    QComboBox *m_comboCom;
    QLabel *m_device;
    QLineEdit *m_txtSetPath;
    QPushButton *m_cmdWijzigen;
    QPushButton *m_cmdClose;
    QPushButton *m_cmdSave;
    QPushButton *m_cmdCancel;
    QPushButton *m_cmdFindUnit;
    SearchMaker m_searchMaker;
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
