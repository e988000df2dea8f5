#pragma once

#include <QWidget>

class OperatorView;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Session;

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

    void LockCombo();
    void UnlockCombo();
    void UpdateCombo();
    void ComboToSettings();

    bool isEditing() const;

public slots:
    void CmdWijzigen_Click();
    void CmdSave_Click();
    void CmdCancel_Click();
    void CmdClose_Click();

protected:
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void Form_Deactivate();
    void showDevice();
    void setEditing(bool editing);

    Session &m_session;
    OperatorView &m_view;
    QComboBox *m_comboCom;
    QLabel *m_device;
    QLineEdit *m_txtSetPath;
    QPushButton *m_cmdWijzigen;
    QPushButton *m_cmdClose;
    QPushButton *m_cmdSave;
    QPushButton *m_cmdCancel;
};
