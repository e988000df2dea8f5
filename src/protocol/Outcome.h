#pragma once

#include "link/LinkState.h"

#include <QString>

#include <functional>

// How a command given to the engine ended, reported once when it ends: the
// facts from which the operator's texts are made, for the window's status
// bar and the command-line tool's verdict.
struct Outcome
{
    enum class Command { ReadAll, WriteAll, ReadItem, WriteItem, PagerCall, Restart };
    enum class Result { Succeeded, Failed, Cancelled };
    using Failure = LinkState::Failure;

    Command command = Command::ReadItem;
    Result result = Result::Succeeded;
    int item = -1;                     // the item concerned, or of the last failure; -1 for none
    Failure failure = Failure::None;   // kind of the last failure when Failed
    int itemCount = 0;                 // items moved by a bulk transfer

    bool operator==(const Outcome &) const = default;
};

using OutcomeListener = std::function<void(const Outcome &)>;

class ItemControls;

// The outcome in a few words for a status line, e.g. "Read all settings: 14
// read" or "Write all settings aborted at item 11 (ESPA in serial speed): no
// answer". Items are named by their legend where they have one.
QString outcomeText(const Outcome &outcome, const ItemControls &controls);
