#include "TestTimeScale.h"

#include <QtGlobal>

namespace TestTimeScale {

int factor()
{
    static const int kFactor = [] {
        const int asked = qEnvironmentVariableIntValue("TESSARO_TEST_TIME_SCALE");
        return asked == 5 || asked == 25 ? asked : 1;
    }();
    return kFactor;
}

int scaledMs(int ms)
{
    return ms > 0 ? qMax(1, ms / factor()) : ms;
}

} // namespace TestTimeScale
