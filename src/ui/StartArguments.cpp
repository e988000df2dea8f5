#include "StartArguments.h"

StartArguments StartArguments::parse(const QStringList &arguments)
{
    StartArguments result;
    QStringList rest;
    // An option with a value: "--name VALUE" or "--name=VALUE".
    auto takeValue = [&](qsizetype &i, const QString &name, QString &value) {
        const QString &argument = arguments.at(i);
        if (argument.startsWith(name + u'=')) {
            value = argument.mid(name.size() + 1);
        } else if (argument == name) {
            if (i + 1 >= arguments.size()) {
                result.error = name + QStringLiteral(" needs a value");
                return true;
            }
            value = arguments.at(++i);
        } else {
            return false;
        }
        if (value.isEmpty())
            result.error = name + QStringLiteral(" needs a value");
        return true;
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (takeValue(i, QStringLiteral("--home"), result.home) || takeValue(i, QStringLiteral("--port"), result.port))
            continue;
        if (arguments.at(i) == QStringLiteral("--simulate")) {
            result.simulate = true;
            continue;
        }
        rest << arguments.at(i);
    }
    result.commandLine = rest.join(u' ');
    return result;
}
