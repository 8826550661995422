// The main window TMAIN as a table: its controls with identifiers, kinds,
// captions, places, colours, fonts, resize rules and styles, and the lists
// the event map works with.
#pragma once

#include <array>
#include <vector>

#include "screens/form_table.h"
#include "ui/contract/gui.h"

namespace app {

inline constexpr const char* kMainForm = "TMAIN";
inline constexpr const char* kMainCaption = "Halvorn Terminal";
inline constexpr const char* kVersionSuffix = " 2.49-P";

// Controls of TMAIN.
namespace tmain {
inline constexpr int kEscLabel = 100;
inline constexpr int kCommandEntry = 105;
inline constexpr int kSend = 110;
inline constexpr int kClearCommands = 115;
inline constexpr int kSaveDisplay = 120;
inline constexpr int kHistory = 125;
inline constexpr int kHistoryToFront = 130;
inline constexpr int kHistoryToSelection = 135;
inline constexpr int kHistoryToEnd = 140;
inline constexpr int kAttachHistory = 145;
inline constexpr int kDelayBar = 150;
inline constexpr int kFunctionKeys = 155;
inline constexpr int kDisplay = 160;
inline constexpr int kByteCounter = 165;
inline constexpr int kClearAfterSend = 210;
inline constexpr int kFifo = 215;
inline constexpr int kRecordHistory = 220;
inline constexpr int kAttachCommandLine = 225;
inline constexpr int kShowFunctionKeys = 230;
inline constexpr int kClearDisplay = 235;
inline constexpr int kClearHistory = 240;
inline constexpr int kDeviceSelector = 245;
inline constexpr int kLanguageSelector = 250;
inline constexpr int kRefreshDevices = 255;
inline constexpr int kDisplayMode = 260;
inline constexpr int kLogo = 265;
inline constexpr int kVersionLabel = 270;
inline constexpr int kHelp = 275;
inline constexpr int kCommandBar = 295;
inline constexpr int kProgramBar = 300;

// Accelerators and timers.
inline constexpr int kEnterKey = 7777;
inline constexpr int kEscKey = 8888;
inline constexpr int kFunctionKeyFirst = 8001;  // F1..F10: 8001..8010
inline constexpr int kProgramKeyFirst = 9701;   // Ctrl+F1..F10, Ctrl+P, Ctrl+O: 9701..9712
inline constexpr int kZoomIn = 9721;            // Ctrl+plus: the display's font larger
inline constexpr int kZoomOut = 9722;           // Ctrl+minus: smaller
inline constexpr int kZoomReset = 9723;         // Ctrl+0: as the table gives it
inline constexpr int kPlot = 9724;              // Ctrl+G: the live plot of the replies
inline constexpr int kScriptTimer = 4793;
// The window's watch for stop signals (the window run's own, not the
// application's: its ticks never reach the application).
inline constexpr int kSignalTimer = 4794;
}  // namespace tmain

// The accelerator table installed when TMAIN has loaded.
inline constexpr const char* kMainAccelerators =
    "RETURN,7777|ESC,8888"
    "|^F1,9701|^F2,9702|^F3,9703|^F4,9704|^F5,9705|^F6,9706|^F7,9707|^F8,9708|^F9,9709|^F10,9710"
    "|^P,9711|^O,9712|^S,120|^PLUS,9721|^+PLUS,9721|^MINUS,9722|^+MINUS,9722|^0,9723|^G,9724"
    "|F1,8001|F2,8002|F3,8003|F4,8004|F5,8005|F6,8006|F7,8007|F8,8008|F9,8009|F10,8010";

// Hidden and disabled while a command line runs, in this order.
inline constexpr std::array<int, 25> kBusyControls = {105, 235, 240, 145, 155, 125, 190, 175, 115,
                                                      110, 185, 135, 210, 220, 215, 130, 140, 225,
                                                      230, 250, 120, 260, 255, 265, 275};

// The display mode button's captions, mode 1 to 5.
inline constexpr std::array<const char*, 5> kDisplayModeCaptions = {"=", "{{BIG_DOUBLE_RECT}}",
                                                                    "..", "!", "!'"};

// The table as the description writes it, and the typed form for a screen
// of `dotsPerInch` (with the loading events, focus events, tooltip and
// window regions the description gives in its prose).
std::vector<ControlRow> MainFormRows();
ui::FormSpec MainFormSpec(int dotsPerInch);

}  // namespace app
