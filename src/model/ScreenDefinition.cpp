#include "ScreenDefinition.h"

#include "Diverse.h"
#include "Items.h"

namespace ScreenDefinition {
namespace {

QString numbered(const char *before, int n, const char *after = "")
{
    return QString::fromLatin1(before) + Diverse::NumberText(n) + QString::fromLatin1(after);
}

QStringList serialSpeeds()
{
    return {QStringLiteral("1200 baud"), QStringLiteral("2400 baud"), QStringLiteral("4800 baud"),
            QStringLiteral("9600 baud"), QStringLiteral("19200 baud")};
}

QStringList dataBits() { return {QStringLiteral("7 bits"), QStringLiteral("8 bits")}; }
QStringList stopBits() { return {QStringLiteral("1 stopbit"), QStringLiteral("2 stopbits")}; }
QStringList parities()
{
    return {QStringLiteral("no parity"), QStringLiteral("even parity"), QStringLiteral("odd parity")};
}

} // namespace

QString legend(int n)
{
    switch (n) {
    case 0: return QStringLiteral("Diagnostic level:");
    case 5: return QStringLiteral("ESPA out max address length:");
    case 7: return QStringLiteral("ESPA out max text length:");
    case 10: return QStringLiteral("ESPA in serial speed:");
    case 11: return QStringLiteral("ESPA in serial number of bits:");
    case 12: return QStringLiteral("ESPA in serial number of stopbits:");
    case 13: return QStringLiteral("ESPA in serial parity:");
    case 14: return QStringLiteral("ESPA In Time-out:");
    case 15: return QStringLiteral("Paging leverancier:");
    case 17: return QStringLiteral("Paging status opvragen:");
    case 18: return QStringLiteral("Paging fixed info (BOSCH):");
    case 19: return QStringLiteral("Paging Info voor Alfa (BOSCH):");
    case 25: return QStringLiteral("Bleepcode bij ComStoring BMC:");
    case 30: return QStringLiteral("ESPA out serial speed:");
    case 31: return QStringLiteral("ESPA out serial number of bits:");
    case 32: return QStringLiteral("ESPA out serial number of stopbits:");
    case 33: return QStringLiteral("ESPA out serial parity:");
    case 34: return QStringLiteral("ESPA out hardware handshake:");
    case 35: return QStringLiteral("ESPA out status request:");
    case 100: return QStringLiteral("Niet in gebruik.");
    default: break;
    }
    if (n >= 1 && n <= 39)
        return QStringLiteral("Diagnose Level:");
    if (n == bleepItem(1))
        return QStringLiteral("BleepCode  ");
    if (n > bleepItem(1) && n <= kLastComboItem)
        return numbered("BleepCode Entry ", n - 39);
    if (n >= 101 && n <= 104)
        return QStringLiteral("Int instelling 1");
    if (n == eventItem(1))
        return QStringLiteral("EventNr");
    if (n > eventItem(1) && n <= kLastIntBox)
        return numbered("EventId ", n - 104);
    if (n >= 150 && n <= 154)
        return QStringLiteral("Op te roepen pager bij ComStoring BMC:");
    if (n == addressItem(1))
        return QStringLiteral("Pager-adres  ");
    if (n > addressItem(1) && n < leadingTextItem(1))
        return numbered("PagerAdres ", n - 154);
    if (n == leadingTextItem(1))
        return QStringLiteral("Vaste voorlooptekst  ");
    if (n > leadingTextItem(1) && n <= kLastTekstBox)
        return numbered("Vaste voorlooptekst ", n - 193);
    return QString();
}

QStringList bleepCodeEntries()
{
    QStringList entries;
    for (int n = 0; n < 16; ++n)
        entries << QStringLiteral("BleepCode: ") + Diverse::HexText(n);
    return entries;
}

QStringList choiceList(int n)
{
    QStringList entries;
    switch (n) {
    case 0:
        return {QStringLiteral("None"), QStringLiteral("Diagnose"), QStringLiteral("Debug info"),
                QStringLiteral("Protocol debug info")};
    case 5:
        entries << QStringLiteral("Not limited");
        for (int d = 1; d <= 10; ++d)
            entries << numbered("Address length: ", d, " digits");
        return entries;
    case 7:
        entries << QStringLiteral("Not limited");
        for (int c = 1; c <= 150; ++c)
            entries << numbered("Length: ", c, " characters");
        return entries;
    case 10: case 30: return serialSpeeds();
    case 11: case 31: return dataBits();
    case 12: case 32: return stopBits();
    case 13: case 33: return parities();
    case 14:
        for (int s = 0; s <= 59; ++s)
            entries << numbered("Espa In Watchdog ", s, " sec");
        return entries;
    case 34:
        return {QStringLiteral("No HandShake"), QStringLiteral("No HandShake, RTS active"),
                QStringLiteral("CTS/RTS HandShake")};
    case 35:
        return {QStringLiteral("Request for status"),
                QStringLiteral("No request for status (Fire and forget)")};
    default:
        break;
    }
    if (Items::isHexDigitItem(n))
        return bleepCodeEntries();
    return {};
}

int displayLimit(int n)
{
    // Item 14's list ends at 59 s.
    switch (n) {
    case 14: return 59;
    default: break;
    }
    if (Items::isHexDigitItem(n))
        return 15;
    return Items::receiptLimit(n);
}

int typingLimit(int n)
{
    if (n >= 150 && n <= 154)
        return 10;
    if (n >= 155 && n <= kLastTekstBox)
        return 15;
    return 0;
}

} // namespace ScreenDefinition
