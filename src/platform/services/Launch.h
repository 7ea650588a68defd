// Starting another program: the stand-in for ShellExecuteA with the operation "OPEN".
// No shell is ever involved: the program gets its parameter text as one argument, exactly
// as given. A Windows program (the SHOWPC viewer is one) is started through `wine`, found
// on PATH.
#pragma once

#include <string>
#include <string_view>

namespace sorbit::platform {

// True for a drive-letter path ("C:\...", "c:/...", "C:x") or a name ending in ".exe" in
// any letter case.
bool IsWindowsProgram(std::string_view path);

// A Linux path as Wine shows it: "/a/b" -> "Z:\a\b". A relative path keeps its place and
// only has its "/" turned into "\".
std::string ToWinePath(std::string_view unix_path);

// Starts `program` with `parameters` as its one argument (no argument when `parameters` is
// empty), detached: the caller neither waits for it nor has to reap it. A Windows program
// runs as `wine <program> [parameters]`. Returns false when the program could not be
// started: no such file, not executable, not a program the system can run, or no wine on
// PATH for a Windows program (or a Linux path to a Windows program that does not exist).
bool StartProgram(const std::string& program, const std::string& parameters);

// The first executable regular file called `name` in the folders of PATH (a name holding
// "/" is returned as it is when it is executable); empty when there is none.
std::string FindExecutableOnPath(const std::string& name);

}  // namespace sorbit::platform
