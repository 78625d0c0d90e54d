#pragma once
// The station's entry point: start-up from cfg.ini, the UI event loop, and shutdown. The
// operator surface is installed by the program before it calls stationMain; the operator's
// actions arrive as callbacks posted to the UI loop.

// Runs the station on the calling thread (which becomes the UI thread) until the main panel is
// closed. Returns 0, or -1 when the worker pool cannot be created.
int stationMain();

// True between the end of start-up and the close of the panel (the close event, not the end of
// the event loop): the operator's actions are carried out only while it holds.
bool stationRunning();

// The main panel's event: on the close event the event loop ends and shutdown follows.
inline constexpr int kPanelCloseEvent = 11;
int panelCB(int event);

// The help item: opens the help document with the desktop's viewer.
void fnMenuAboutHlpCB();
