#pragma once

// For tests only: TESSARO_TEST_TIME_SCALE=N makes every timer of the programs
// run N times faster, all by the same factor, so that a test driving a real
// program waits less. N is 5 or 25, which divide 25, 100, 250 and 300 ms
// evenly: every ratio between the timers holds. Unset, or any other value,
// gives 1, the timing a user always gets.
namespace TestTimeScale {

int factor();

// An interval of the programs' own timing, in milliseconds, on the test clock.
int scaledMs(int ms);

} // namespace TestTimeScale
