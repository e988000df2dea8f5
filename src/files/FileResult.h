#pragma once

#include <QString>

// The outcome of a file operation: ok, or what went wrong, in words for the operator.
struct FileResult
{
    bool ok = true;
    QString error; // names the file and the reason

    static FileResult success() { return {}; }
    static FileResult failure(const QString &error) { return {false, error}; }
    explicit operator bool() const { return ok; }
};
