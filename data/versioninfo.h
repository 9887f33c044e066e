// The suite's data folder and the installed build date.
#pragma once

#include <string>

// The machine-wide application data folder followed by "\Corvallo", without
// a trailing separator. The common folder is created when missing; the
// suite's own folder never is.
std::string GetDataFolder();

// The build date from "lastupd.dat" in the data folder; after a failure to
// read it, a message to the user and the empty text.
std::string GetBuildDate();
