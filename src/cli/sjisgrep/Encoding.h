// The text encodings sjisgrep speaks: files are always Shift-JIS as Windows wrote it (code
// page 932, with the NEC and IBM extensions); the terminal side (patterns typed on the command
// line or read with -f, and the lines printed) is either the same Shift-JIS bytes or UTF-8.
//
// Which one follows the locale (LC_ALL, LC_CTYPE, LANG, read through setlocale and
// nl_langinfo(CODESET)): a UTF-8 codeset means UTF-8, anything else (C, POSIX, ...) means the
// bytes pass through unchanged. --encoding overrides it.
//
// The conversions themselves are the program's one CP932 table (text/Cp932.h), which needs
// nothing from the system at run time.
#pragma once

namespace sjisgrep {

enum class TextEncoding { kSjis, kUtf8 };

// The terminal-side encoding of the process's locale. Calls setlocale(LC_ALL, "") once.
TextEncoding LocaleEncoding();

}  // namespace sjisgrep
