#pragma once

#include <QGroupBox>

class QLineEdit;

// Beside "Report...": the site and the technician the report names, filled
// from what was written last time and kept again with each report.
class SiteRecordFields : public QGroupBox
{
    Q_OBJECT

public:
    explicit SiteRecordFields(QWidget *parent = nullptr);

    QString site() const;
    QString technician() const;
    void setSite(const QString &site);
    void setTechnician(const QString &technician);

private:
    QLineEdit *m_site = nullptr;
    QLineEdit *m_technician = nullptr;
};
