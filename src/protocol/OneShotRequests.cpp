#include "OneShotRequests.h"

#include <QtGlobal>

#include <algorithm>
#include <utility>

int OneShotRequests::index(Command command)
{
    Q_ASSERT(std::find(kTakingOrder.begin(), kTakingOrder.end(), command) != kTakingOrder.end());
    return int(std::find(kTakingOrder.begin(), kTakingOrder.end(), command) - kTakingOrder.begin());
}

bool OneShotRequests::any() const
{
    return std::find(m_waiting.begin(), m_waiting.end(), true) != m_waiting.end();
}

bool OneShotRequests::take(Command command)
{
    return std::exchange(m_waiting[index(command)], false);
}

bool OneShotRequests::clear()
{
    const bool waiting = any();
    m_waiting.fill(false);
    return waiting;
}

std::optional<OneShotRequests::Command> OneShotRequests::cancelled() const
{
    for (Command command : {Command::ReadAll, Command::WriteAll, Command::Commission, Command::Restart, Command::PagerCall, Command::LineCheck}) {
        if (requested(command))
            return command;
    }
    return std::nullopt;
}
