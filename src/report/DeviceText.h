#pragma once

#include <QString>

namespace SiteReport {

// The unit's place in a report's header: "/dev/ttyUSB0 (serial port 1)".
inline QString deviceText(const QString &device, int portNumber)
{
    return QStringLiteral("%1 (serial port %2)").arg(device).arg(portNumber);
}

} // namespace SiteReport
