#pragma once

#include <QtGlobal>

#include <array>

// The unit's numbered settings: CHAR 0-99, INT 100-149, TEKST 150-249; every
// store has one spare entry, 250.
namespace Items {

constexpr int kStoreSize = 251;
constexpr int kItemCount = 250;

enum class Kind { Char, Int, Tekst, None };

constexpr Kind kindOf(int n)
{
    if (n >= 0 && n <= 99)
        return Kind::Char;
    if (n >= 100 && n <= 149)
        return Kind::Int;
    if (n >= 150 && n <= 249)
        return Kind::Tekst;
    return Kind::None;
}

// The list items, which are also the only items read-all and write-all cover.
constexpr std::array<int, 14> kBulkItems = {0, 5, 7, 10, 11, 12, 13, 14, 30, 31, 32, 33, 34, 35};

constexpr bool isListItem(int n)
{
    for (int b : kBulkItems) {
        if (b == n)
            return true;
    }
    return false;
}

// CHAR items carried as one ASCII hexadecimal digit (the pager table's bleep codes).
constexpr bool isHexDigitItem(int n) { return n >= 40 && n <= 78; }

// Highest list position a received value keeps; a higher value becomes 0.
int receiptLimit(int n);

// 1 for the fourteen bulk items, -1 for every other number.
int IsBulkItem(int n);

// Request flags of ItemRequest.
constexpr qint16 kNoRequest = 0;
constexpr qint16 kReadRequest = 1;
constexpr qint16 kWriteRequest = 10;

} // namespace Items
