// The country list's flags on Win32: the flag-picture library, the item
// height, and the drawing of an item with GDI.
#pragma once

#include <windows.h>

#include "profile/profile_values.h"

// The flag-picture library TOLVEX.DLL, or 0 when it could not be loaded.
// Loaded once when the main dialog starts and kept until the program ends.
extern HMODULE flags_module;

// Loads the library at the profile's flags_path. A missing library is no
// error: the list then shows names without flags.
void load_flag_pictures(const profile::Profile& profile);
// WM_MEASUREITEM: every item of IDC_COUNTRY, the selection field too, is one
// flag high.
void measure_country_item(WPARAM control_id, MEASUREITEMSTRUCT* measure);
// Makes the list's selection field a flag high too, on systems whose combo
// box does not ask for its height (Wine keeps it one text line high).
void size_country_field(HWND dialog);
// WM_DRAWITEM: one item of IDC_COUNTRY, drawn only while no apply runs.
void draw_country_item(profile::Profile& profile, const DRAWITEMSTRUCT* draw, int busy);
