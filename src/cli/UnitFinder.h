#pragma once

#include "CliRunner.h"

// tessaro-cli find: tries every serial port the system reports, and the
// --port device, with the core's unit probe, and lists each port where a unit
// answers as "PORT  DEVICE  ANSWER" on standard output.
namespace UnitFinder {

ExitStatus run(const CliRequest &request);

} // namespace UnitFinder
