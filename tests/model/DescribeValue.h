#pragma once

#include "model/Value.h"

// A readable form of a stored value, so a failed comparison shows kind and content.
inline QString describe(const Value &v)
{
    if (const auto *i = std::get_if<qint16>(&v))
        return QStringLiteral("int %1").arg(*i);
    if (const auto *d = std::get_if<double>(&v))
        return QStringLiteral("double %1").arg(*d);
    if (const auto *t = std::get_if<QString>(&v))
        return QStringLiteral("text '%1'").arg(*t);
    return QStringLiteral("empty");
}
