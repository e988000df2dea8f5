#pragma once

#include "Items.h"
#include "Value.h"

#include <array>

// The three value stores and the request table, indexed by item number 0-250.
class Stores
{
public:
    using ValueStore = std::array<Value, Items::kStoreSize>;

    Stores();

    ValueStore fileValues;    // the last settings file read or written
    ValueStore workingValues; // what the operator sees and what writes send
    ValueStore unitValues;    // last known to be in the unit; integer -1 = unknown
    std::array<qint16, Items::kStoreSize> itemRequest{};
    // Whether an item's unit value was read from the unit over the present
    // link, with nothing written to it since; ResetUnitValues clears it.
    std::array<bool, Items::kStoreSize> unitValueRead{};

    void FileToWorkingValues();
    void WorkingToFileValues();
    void ResetWorkingValues();
    void ResetUnitValues();
    // Entries 0-249; the spare entry 250 is left as it is.
    void ClearRequestFlags();
    // Every entry 0-250; true when at least one was pending.
    bool clearAllRequests();
    int pendingRequestCount() const;
    // Whether any entry 0-250 is pending.
    bool anyRequest() const;
};
