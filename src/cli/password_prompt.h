// Asks for the password of /user: when the command line does not give it.
//
// Ctrl+C or Ctrl+Break while either prompt reads the console ends the
// program with STATUS_CONTROL_C_EXIT, as the console's default handler does,
// whatever handlers the program has, after putting the console's mode back.
#pragma once

#include <string>
#include <string_view>

// On a console: writes "Password for USER: " to the console, not to standard
// output, and reads a line without echo, the console's mode restored however
// the read ends. Otherwise: the first line of standard input, without its
// CR LF or LF, so that scripts can pipe it in. An empty line is an empty
// password. False when the read fails or meets the end of input first.
bool AskPassword(const std::wstring& user, std::wstring& password);

// wmic's prompt. On a console: writes `prompt` as it is to the console and
// reads key by key up to Enter, showing a * for each character typed and
// taking Backspace back; then a new line. Nothing typed after Enter is taken
// from the input. Without a console, exactly as AskPassword. False as for
// AskPassword.
bool AskPasswordShowingStars(std::wstring_view prompt, std::wstring& password);

// What one key read at the star prompt does, apart from the console so that
// the editing can be checked on its own. True for Enter (CR or LF), which
// ends the password and shows nothing. Backspace (or DEL, which is what a
// terminal's Backspace key sends) drops the last character and appends
// "\b \b" to `shown` for each star it takes back; with nothing typed it does
// nothing. Any other key goes into the password and appends one *.
//
// A character outside the BMP arrives as two UTF-16 units and shows two
// stars: one star per unit keeps the stars in step with what each key read
// added, without holding a half pair back. A Backspace after it drops both
// halves and both stars, so that no half of a pair is ever left behind in
// the password.
bool TypeKeyShowingStars(wchar_t key, std::wstring& password, std::wstring& shown);
