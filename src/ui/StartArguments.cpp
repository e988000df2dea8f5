#include "StartArguments.h"

#include "link/NetworkAddress.h"

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
        const QString &argument = arguments.at(i);
        if (argument == QStringLiteral("--simulate")) {
            result.simulate = true;
            continue;
        }
        if (argument == QStringLiteral("--help") || argument == QStringLiteral("-h")) {
            result.help = true;
            continue;
        }
        if (argument == QStringLiteral("--version") || argument == QStringLiteral("-v")) {
            result.version = true;
            continue;
        }
        if (argument.startsWith(QStringLiteral("--"))) {
            // A mistyped option would otherwise open the configured port.
            if (result.error.isEmpty())
                result.error = QStringLiteral("unknown option ") + argument.section(u'=', 0, 0);
            continue;
        }
        rest << argument;
    }
    result.commandLine = rest.join(u' ');
    // A network port is checked with the arguments, so a wrong one never reaches the window.
    if (result.error.isEmpty())
        result.error = NetworkAddress::portOptionError(result.port);
    return result;
}

QString StartArguments::helpText()
{
    return QStringLiteral(
        "Usage: tessaro [--home DIR] [--port DEVICE|ADDRESS] [--simulate] [/LOG] [/DEBUG]\n"
        "Configures a Dubrion unit (an ESPA 4.4.4 paging converter) over a serial line.\n"
        "\n"
        "  --home DIR       Home folder with Tessaro.set, default.set and Log/ (default:\n"
        "                   the program's folder in a build tree, else the user's data\n"
        "                   folder, ~/.local/share/Tessaro).\n"
        "  --port DEVICE    Open DEVICE for the configured port number in this run.\n"
        "  --port rfc2217://HOST:PORT, --port tcp://HOST:PORT\n"
        "                   Reach the unit through a serial device server in this run\n"
        "                   (RFC 2217, or raw TCP); an IPv6 address goes in brackets.\n"
        "  --simulate       Start a simulated unit inside the program and connect to it.\n"
        "  /LOG             Switch the log on from the start.\n"
        "  /DEBUG           Start in debug mode.\n"
        "  -h, --help       Print this text and exit.\n"
        "  -v, --version    Print the version and exit.\n"
        "\n"
        "Options with one dash (-platform NAME, -style NAME) are Qt's. Exit status: 0\n"
        "when the window closes, 2 when the command line is not understood or the\n"
        "simulated unit cannot start. See also tessaro-cli --help and man tessaro.\n");
}
