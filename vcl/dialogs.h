// The simple message boxes of the framework.
#pragma once

#include <string>

namespace vcl {
// The application title: by default the program file's name without its
// extension ("CorvalloUpdate").
const std::string& ApplicationTitle();
void SetApplicationTitle(const std::string& title);
}  // namespace vcl

// One OK button, the application title as caption, no icon; returns when the
// user has closed it.
void ShowMessage(const std::string& text);
