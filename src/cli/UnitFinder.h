#pragma once

#include "CliRunner.h"

// tessaro-cli find: tries every serial port the system reports, the --port
// devices and the /dev/serial/by-id links, with the core's unit probe, and
// lists each port where a unit answers as "PORT  DEVICE  ANSWER" on standard
// output.
namespace UnitFinder {

ExitStatus run(const CliRequest &request);

} // namespace UnitFinder
