#include "Stores.h"

#include <cstring>

Stores::Stores()
{
    ResetWorkingValues();
    ResetUnitValues();
}

void Stores::FileToWorkingValues()
{
    for (int i = 0; i < Items::kStoreSize; ++i)
        workingValues[i] = fileValues[i];
}

void Stores::WorkingToFileValues()
{
    for (int i = 0; i < Items::kStoreSize; ++i)
        fileValues[i] = workingValues[i];
}

void Stores::ResetWorkingValues()
{
    workingValues.fill(Values::integer(-1));
}

void Stores::ResetUnitValues()
{
    unitValues.fill(Values::integer(-1));
    unitValueRead.fill(false);
}

void Stores::ClearRequestFlags()
{
    for (int i = 0; i < Items::kItemCount; ++i)
        itemRequest[i] = Items::kNoRequest;
}

bool Stores::clearAllRequests()
{
    bool any = false;
    for (qint16 &r : itemRequest) {
        any = any || r > 0;
        r = Items::kNoRequest;
    }
    return any;
}

bool Stores::anyRequest() const
{
    // One comparison of the whole table: the idle engine asks on every tick.
    static constexpr std::array<qint16, Items::kStoreSize> kNone{};
    return std::memcmp(itemRequest.data(), kNone.data(), sizeof kNone) != 0;
}

int Stores::pendingRequestCount() const
{
    if (!anyRequest())
        return 0;
    int count = 0;
    for (qint16 r : itemRequest)
        count += r != 0 ? 1 : 0;
    return count;
}
