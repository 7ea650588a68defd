// Why a file could not be opened, in the window's language: a system error number, or a
// problem with an argument (reader/Arguments.h), as a Japanese phrase; and the line that
// names the file with it.
#pragma once

#include <QString>
#include <string>

#include "reader/Arguments.h"

namespace sorbit::reader {

// The reason for an error number (errno), in Japanese where the window knows one, else in the
// system's words.
QString ReasonText(int error_number);

// "PATH: reason" for a problem with an argument.
QString ProblemText(const ArgumentProblem& problem);

// A path (bytes) as the window shows it.
QString PathText(const std::string& path);

}  // namespace sorbit::reader
