#include "Startup.h"

#include "ItemControls.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"

using namespace ScreenDefinition;

namespace Startup {

void FillChoiceLists(ItemControls &controls)
{
    for (int n = 0; n <= kLastComboItem; ++n) {
        controls.clearComboList(n);
        controls.setComboVisible(n, false);
    }
    for (int n = 0; n <= 40; ++n)
        controls.setSingleButtonsVisible(n, false);
    for (int n : Items::kBulkItems) {
        controls.setComboVisible(n, true);
        for (const QString &entry : choiceList(n))
            controls.addComboEntry(n, entry);
        controls.setSingleButtonsVisible(n, true);
    }
    controls.setTestBleepVisible(true);
    controls.clearTestBleepList();
    for (const QString &entry : bleepCodeEntries())
        controls.addTestBleepEntry(entry);
    controls.setTestBleepIndex(1);
    for (int n = 40; n <= kLastComboItem; ++n) {
        controls.clearComboList(n);
        for (const QString &entry : choiceList(n))
            controls.addComboEntry(n, entry);
        controls.setComboVisible(n, true);
    }
}

} // namespace Startup
