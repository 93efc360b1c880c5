// The rebar across the top of the main window: the two tool bars and the file selector.
#pragma once

#include <windows.h>

struct Bars {
  HWND rebar;
  HWND patrol_tool_bar;
  HWND main_tool_bar;
  HWND file_selector;
};
extern Bars MainBars;

// Builds the rebar and its three bands into MainBars. 0 when the rebar cannot be created
// or set up; the window then goes on without bars.
int BuildBars(HWND main_window, HINSTANCE instance);

// Whether the main tool bar's button with this command id is pressed.
int IsChecked(int command_id);
