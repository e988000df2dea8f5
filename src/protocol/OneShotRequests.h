#pragma once

#include "Outcome.h"

#include <array>
#include <optional>

// The commands the operator asked for once (read-all, write-all, pager call,
// restart, a line check read, a commission) that the idle engine has not taken yet. Asking again while one
// waits changes nothing.
class OneShotRequests
{
public:
    using Command = Outcome::Command;

    // The order the idle engine takes them in.
    static constexpr std::array<Command, 6> kTakingOrder{Command::ReadAll,    Command::WriteAll, Command::Commission,
                                                         Command::PagerCall,  Command::Restart,  Command::LineCheck};

    void request(Command command) { m_waiting[index(command)] = true; }
    bool requested(Command command) const { return m_waiting[index(command)]; }
    bool any() const;
    // True when the command was waiting; it waits no longer.
    bool take(Command command);
    // Drops them all; true when any was waiting.
    bool clear();
    // The one a Cancel names: what would have run first. A restart waiting
    // beside a pager call wins over it, so it is named before it.
    std::optional<Command> cancelled() const;

private:
    static int index(Command command);

    std::array<bool, kTakingOrder.size()> m_waiting{}; // in taking order
};
