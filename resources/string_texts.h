// The texts of the string table. tarvelle.rc builds its STRINGTABLE from
// these, and code that runs without the program's resources (the command
// line) takes the same texts from here, so the two cannot drift apart.
// Plain macros, so that the resource compiler can read this header too.
// Windows-1252, like the resource script.
#pragma once

#define TEXT_TITLE "Tarvelle"
#define TEXT_SEARCHING "Searching for known modems..."
#define TEXT_SETTING_UP "Setting up Countries supported..."
#define TEXT_SENDING "Sending Modem Commands..."
#define TEXT_CURRENT_FMT "Your modem is currently set for %s"
#define TEXT_VENDOR "Quorvant"
#define TEXT_ABOUT_TITLE "About Box"
#define TEXT_COPYRIGHT "Copyright (C) 2026 Quorvant"
#define TEXT_VERSION "Version 1.4"
#define TEXT_INSERT_MODEM "Insert modem and press 'Apply' !"
#define TEXT_NO_MODEM "Unable to find a Modem! May be busy or disconnected"
