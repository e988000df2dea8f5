#include "UnitProbe.h"

#include "Frames.h"

#include "link/LinkState.h"
#include "link/SerialPort.h"
#include "model/Conversions.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

constexpr int kProbedItem = 0;

} // namespace

UnitProbe::UnitProbe(Port &port, int portNumber)
    : m_port(port)
{
    if (!m_port.open(portNumber, Port::LineSettings{})) {
        m_problem = LinkState::describe(m_port.problem(), m_port.deviceName(portNumber), m_port.problemText());
        if (m_problem.isEmpty())
            m_problem = QStringLiteral("cannot be opened");
        m_result = Result::NotOpened;
        return;
    }
    for (char c : Frames::wakeUp()) {
        if (!m_port.writeByte(quint8(c))) {
            m_problem = QStringLiteral("the port did not take the wake-up");
            finish(Result::NoAnswer);
            return;
        }
    }
}

UnitProbe::~UnitProbe()
{
    if (m_port.isOpen())
        m_port.close();
}

void UnitProbe::finish(Result result)
{
    m_result = result;
    if (m_port.isOpen())
        m_port.close();
}

UnitProbe::Result UnitProbe::tick()
{
    if (m_result != Result::Pending)
        return m_result;
    ++m_ticks;
    if (!m_port.isOpen()) {
        m_problem = QStringLiteral("the port closed");
        finish(Result::NoAnswer);
        return m_result;
    }
    if (!m_asked) {
        if (m_ticks < kWakeUpTicks)
            return m_result;
        // Whatever came before the request is not its answer.
        m_port.discardInput();
        for (char c : Frames::complete(Frames::readRequestBody(kProbedItem))) {
            if (!m_port.writeByte(quint8(c))) {
                m_problem = QStringLiteral("the port did not take the request");
                finish(Result::NoAnswer);
                return m_result;
            }
        }
        m_asked = true;
        return m_result;
    }
    take();
    if (m_result == Result::Pending && m_ticks >= kTicks) {
        m_problem = m_received.isEmpty() ? QStringLiteral("no answer") : QStringLiteral("no usable answer");
        finish(Result::NoAnswer);
    }
    return m_result;
}

// Collects waiting bytes and looks for a whole answer naming item 0: SOH, LEN,
// LEN - 1 more bytes, all adding up to 0. Anything else before it is skipped.
void UnitProbe::take()
{
    for (int b = m_port.readByte(); b >= 0; b = m_port.readByte())
        m_received.append(char(b));
    while (!m_received.isEmpty()) {
        const qsizetype start = m_received.indexOf(char(Frames::kSoh));
        if (start < 0) {
            m_received.clear();
            return;
        }
        m_received.remove(0, start);
        if (m_received.size() < 2)
            return;
        const int length = quint8(m_received.at(1));
        if (length < 2 || length + 1 > Frames::kMaxAnswerBytes) {
            m_received.remove(0, 1);
            continue;
        }
        if (m_received.size() < length + 1)
            return;
        const QByteArray frame = m_received.left(length + 1);
        if (Frames::checksumHolds(frame)) {
            RxBuffer rx;
            Conversions::clearRxBuffer(rx);
            for (qsizetype i = 0; i < frame.size() && i < qsizetype(rx.size()); ++i)
                rx[size_t(i)] = qint16(quint8(frame.at(i)));
            const Value value = Conversions::ReplyToValue(rx, kProbedItem);
            // As the engine takes a read answer: integer -1 is no value.
            if (Conversions::ReplyItemNumber(rx) == kProbedItem && !Values::isEmpty(value)
                && !(Values::isNumber(value) && Values::numberOf(value) < 0)) {
                m_value = int(Values::numberOf(value));
                finish(Result::Answered);
                return;
            }
        }
        m_received.remove(0, 1);
    }
}

QString UnitProbe::answerText() const
{
    const QStringList choices = ScreenDefinition::choiceList(kProbedItem);
    const QString shown = m_value >= 0 && m_value < choices.size() ? choices.at(m_value) : QString::number(m_value);
    return ScreenDefinition::legend(kProbedItem) + u' ' + shown;
}

UnitSearch::UnitSearch(QList<PortCandidate> candidates, PortFactory factory)
    : m_candidates(std::move(candidates))
    , m_factory(std::move(factory))
{
    if (!m_factory) {
        m_factory = [](const PortCandidate &candidate) -> std::unique_ptr<Port> {
            auto port = std::make_unique<SerialPort>();
            port->setDeviceOverride(candidate.device);
            return port;
        };
    }
}

UnitSearch::~UnitSearch()
{
    // The probe closes its port before the port goes.
    m_probe.reset();
}

void UnitSearch::startNext()
{
    m_probe.reset();
    m_port.reset();
    if (m_next >= m_candidates.size())
        return;
    const PortCandidate &candidate = m_candidates.at(m_next++);
    m_port = m_factory(candidate);
    m_probe = std::make_unique<UnitProbe>(*m_port, qMax(candidate.portNumber, 1));
}

bool UnitSearch::tick()
{
    if (!m_probe) {
        if (m_next >= m_candidates.size())
            return false;
        startNext();
    }
    const UnitProbe::Result result = m_probe->tick();
    if (result == UnitProbe::Result::Pending)
        return true;
    const PortCandidate &candidate = m_candidates.at(m_next - 1);
    if (result == UnitProbe::Result::Answered)
        m_found.append({candidate, m_probe->value(), m_probe->answerText()});
    if (m_listener)
        m_listener(candidate, result, result == UnitProbe::Result::Answered ? m_probe->answerText() : m_probe->problem());
    m_probe.reset();
    m_port.reset();
    return m_next < m_candidates.size();
}

namespace {

// The stable names in a folder such as /dev/serial/by-id, each with the
// device it reaches: (device, link).
QList<QPair<QString, QString>> stableLinks(const QString &byIdFolder)
{
    QList<QPair<QString, QString>> links;
    if (byIdFolder.isEmpty())
        return links;
    const QDir folder(byIdFolder);
    for (const QFileInfo &link : folder.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString target = link.canonicalFilePath();
        if (link.isSymLink() && !target.isEmpty())
            links.append({target, link.absoluteFilePath()});
    }
    return links;
}

} // namespace

QList<PortCandidate> UnitSearch::systemCandidates(const QStringList &extraDevices, const QStringList &firstDevices,
                                                  const PortSources &sources)
{
    const QStringList devices = sources.systemDevices ? sources.systemDevices() : SerialPort::systemDevices();
    const QList<QPair<QString, QString>> links = stableLinks(sources.byIdFolder);
    auto sameDevice = [](const QString &name) {
        const QString canonical = QFileInfo(name).canonicalFilePath();
        return canonical.isEmpty() ? name : canonical;
    };
    auto linkTo = [&](const QString &device) {
        const QString target = sameDevice(device);
        for (const auto &link : links)
            if (link.first == target)
                return link.second;
        return QString();
    };

    QList<PortCandidate> candidates;
    QStringList seen; // as reached, so a link and its device are one
    auto add = [&](int number, const QString &device) {
        const QString reached = sameDevice(device);
        if (device.isEmpty() || seen.contains(reached))
            return;
        seen << reached;
        candidates.append({number, device});
    };
    auto numberOf = [&](qsizetype i) {
        int number = int(i) + 1;
#ifdef Q_OS_WIN
        // COMn is port n there.
        static const QRegularExpression com(QStringLiteral("^COM(\\d+)$"), QRegularExpression::CaseInsensitiveOption);
        if (const QRegularExpressionMatch m = com.match(devices.at(i)); m.hasMatch())
            number = m.captured(1).toInt();
#endif
        return number;
    };
    for (const QString &device : firstDevices) {
        // A first device that is one of the system's keeps its number.
        int number = 0;
        for (qsizetype i = 0; i < devices.size() && number == 0; ++i)
            if (sameDevice(devices.at(i)) == sameDevice(device))
                number = numberOf(i);
        const QString link = number > 0 ? linkTo(device) : QString();
        add(number, link.isEmpty() ? device : link);
    }
    for (qsizetype i = 0; i < devices.size(); ++i) {
        const QString link = linkTo(devices.at(i));
        add(numberOf(i), link.isEmpty() ? devices.at(i) : link);
    }
    for (const QString &device : extraDevices)
        add(0, device);
    for (const auto &link : links)
        add(0, link.second);
    return candidates;
}
