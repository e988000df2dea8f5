#pragma once

// The pages of the main window's SSTab1 and SSTab2, shared by the window and
// its page builders (MainWindowPages.cpp).
namespace MainWindowPages {

enum MainPage { kStatusTab = 0, kSetupTab, kFileTab, kUnitTab, kServiceTab, kTraceTab };

// The pages of SSTab2.
enum ItemPage {
    kGeneralPage = 0,
    kBmcPage,
    kEspaPage,
    kUnusedCharPage,
    kUnusedIntPage,
    kUnusedTekstPage,
    kButtonCharPage,
    kButtonIntPage,
    kButtonTekstPage,
    kPagerPage,
    kItemPageCount
};

} // namespace MainWindowPages
