#pragma once

#include "RecordingView.h"
#include "TestItemControls.h"

#include "protocol/Session.h"

#include <QString>

#include <utility>

// A session with headless controls and a recording view, built in a line.
class HeadlessSession
{
public:
    HeadlessSession(const QString &homeFolder, Logfile::Clock clock, Port &port)
        : session(homeFolder, std::move(clock), port, controls, view)
    {
    }

    TestItemControls controls;
    RecordingView view;
    Session session;
};
