#include "SiteRecordFields.h"


#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

QLineEdit *addField(QFormLayout *form, const QString &caption, const char *name, const QString &accessible)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAccessibleName(accessible);
    edit->setMaxLength(200);
    auto *label = new QLabel(caption);
    label->setBuddy(edit);
    form->addRow(label, edit);
    return edit;
}

} // namespace

SiteRecordFields::SiteRecordFields(QWidget *parent) : QGroupBox(QStringLiteral("Report for the site's records: "), parent)
{
    setObjectName(QStringLiteral("FrameSiteRecord"));
    auto *form = new QFormLayout(this);
    m_site = addField(form, QStringLiteral("S&ite:"), "TxtSite", QStringLiteral("Site"));
    m_site->setToolTip(QStringLiteral("The site the report is for, e.g. the building and the unit's place"));
    m_technician = addField(form, QStringLiteral("Te&chnician:"), "TxtTechnician", QStringLiteral("Technician"));
}

QString SiteRecordFields::site() const
{
    return m_site->text().trimmed();
}

QString SiteRecordFields::technician() const
{
    return m_technician->text().trimmed();
}

void SiteRecordFields::setSite(const QString &site)
{
    m_site->setText(site);
}

void SiteRecordFields::setTechnician(const QString &technician)
{
    m_technician->setText(technician);
}
