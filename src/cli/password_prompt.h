// Asks for the password of /user: when the command line does not give it.
#pragma once

#include <string>

// On a console: writes "Password for USER: " to the console, not to standard
// output, and reads a line without echo, the console's mode restored however
// the read ends. Otherwise: the first line of standard input, without its
// CR LF or LF, so that scripts can pipe it in. An empty line is an empty
// password. False when the read fails or meets the end of input first.
bool AskPassword(const std::wstring& user, std::wstring& password);
