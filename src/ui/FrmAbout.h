#pragma once

#include <QFrame>
#include <QWidget>

#include <functional>

class Interface;
class OperatorView;
class QLabel;

// The logo frame: a double-click anywhere on it, logo and texts included.
// It takes the keyboard focus too: Enter or Space on it counts as one
// double-click, and a focus rectangle shows where the focus is.
class LogoFrame : public QFrame
{
    Q_OBJECT

public:
    explicit LogoFrame(QWidget *parent = nullptr);

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

// The About box frmAbout: version, the maker's logo and details. Double-clicking
// the logo steps the service mode (DebugMode 0, 1, 2, 0, ...) and shows or
// hides the service elements of the main window at once.
class FrmAbout : public QWidget
{
    Q_OBJECT

public:
    // applyDebugMode shows or hides the main window's service elements.
    FrmAbout(Interface &engine, std::function<void()> applyDebugMode, OperatorView &view, QWidget *parent);

    static QString versionLine();

public slots:
    void CmdSluit_Click();
    void FrameLogo_DblClick();

protected:
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Form_Load();
    void Form_Deactivate();

    Interface &m_engine;
    std::function<void()> m_applyDebugMode;
    OperatorView &m_view;
    QLabel *m_label4;
};
