#pragma once
// The main window `TZe`: start-up, the timer tick, the orderly end, and every
// user event on the window. The window on screen is behind MainView.

#include "app/main_view.h"
#include "common/program.h"
#include "platform/work_lock.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vel::app {

// Command-line arguments by position; missing ones are empty.
struct Arguments {
    std::string oneShot;     // 1: "x", empty, or a .PCL / .XML file
    std::string workPrefix;  // 2
    std::string driverDir;   // 3
    static Arguments FromArgv(int argc, char** argv);
};

class MainWindow {
public:
    // Holds the work folder with the system's lock file.
    MainWindow(Program& program, MainView& view);
    MainWindow(Program& program, MainView& view, std::unique_ptr<platform::WorkLock> lock);
    ~MainWindow();

    // Whether the window shows at start (argument 1 empty or "x").
    static bool ShownAtStart(const Arguments& args);

    // Start-up: leftover jobs, the writability test, the lock, the tray icon,
    // the printer lists. Raises IoError as the framework would.
    void ZeCreat(const Arguments& args);
    // One tick of the one-second timer. May run nested inside a running tick.
    void TiTimer();
    // The orderly end: lock file closed and deleted, tray icon removed.
    void QuitProgram();
    // True once the window was closed or the program quit: the entry ends the loop.
    bool ended() const { return ended_; }

    // User events.
    void PanKlik();                  // click on the clock: quit
    void PaPK();                     // right click on the clock: snap, save position, quit
    void InMDn(int x, int y);        // mouse down on the top panel or status line
    void InMMv(int x, int y);        // mouse move: drag
    void InMUp();                    // mouse up
    void BDnKlik();                  // view mode button
    void UpdKlik();                  // program update
    void UpCh();                     // reformat an address block on the clipboard
    void TurKlik();                  // maker's web page
    void TurJ();                     // JPK web client
    void WoxKlik();
    void NBPKlik();                  // current-year rates
    void NBPP();                     // previous-year rates
    void KSFKlik();                  // KSeF login page
    void DruP();                     // right click on the fiscal list
    void DruLasKeyPress(bool escape);
    void DrLList();                  // page printer list drops down
    void DrLKDn();                   // key down in the page printer list
    void DrLChan(int index);         // user picked a page printer
    void DruKKChan(int index);       // user picked a label printer
    void TrayButton();               // left or right button on the tray icon
    void ParKl();                    // menu "Parkuj"
    void KonKl();                    // menu "Koniec"
    void PokKl();                    // menu "Pokaz"
    void UkrKl();                    // menu "Ukryj"

    void AdvanceViewMode();
    int viewMode() const { return viewMode_; }
    void SavePosition();

    // The boundary of every event handler: runs it, and an error that ends it
    // is reported as the framework's error box would, then the program goes on.
    // The box lets messages run, so ticks go on under it; their errors go to
    // the trace only, and no second box opens over the first.
    void Guard(const std::function<void()>& handler);

private:
    void closeWindow();
    void firstTick();
    void rebuildDateLine();
    void runOneShot();
    void releaseLock();
    void showPrinterLists();
    void applyViewMode();

    Program& program_;
    MainView& view_;
    std::unique_ptr<platform::WorkLock> lock_;
    static constexpr int kMaxNesting = 8;
    int nesting_ = 0;
    std::string oneShotPath_;  // argument 1 as given
    int viewMode_ = 0;
    bool dragging_ = false;
    int dragX_ = 0;
    int dragY_ = 0;
    bool ended_ = false;
    bool errorShown_ = false;  // an error box is open
};

}  // namespace vel::app
