// The entry point of sorbit-reader: the command line, the application, the window and its
// settings file, and the one environment variable for scripts.
#include <QApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/posix/TruncationGuard.h"
#include "platform/services/ProgramFile.h"
#include "reader/ReaderWindow.h"

namespace {

constexpr char kUsage[] =
    "Usage: sorbit-reader [FILE|FOLDER|PATTERN]...\n"
    "Reads SVF files and tekuri logs as boards, threads and messages.\n"
    "\n"
    "  FILE      an SVF file or a tekuri log (the kind is told by the content)\n"
    "  FOLDER    every file in it whose name ends in .log\n"
    "  PATTERN   a path with '*' in its last part, e.g. ~/svf/'svf*.log'\n"
    "\n"
    "Without arguments the files open when the window was last closed are opened again.\n"
    "      --help     display this help and exit\n"
    "      --version  output version information and exit\n";

// The "RssAnon:" line of /proc/self/status, without its label; empty where there is none.
std::string AnonymousMemory() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("RssAnon:", 0) == 0) return line.substr(line.find_first_not_of(" \t", 8));
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments;
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (!options_end && argument == "--") {
      options_end = true;
    } else if (!options_end && argument == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!options_end && argument == "--version") {
      std::printf("sorbit-reader %s\n", SORBIT_VERSION);
      return 0;
    } else if (!options_end && argument.size() > 1 && argument[0] == '-') {
      std::fprintf(stderr, "sorbit-reader: unknown option '%s'\nTry 'sorbit-reader --help'.\n",
                   argv[i]);
      return 2;
    } else {
      arguments.push_back(argument);
    }
  }

  // A file that another program cuts short while the reader maps it reads as zeros past its
  // new end, and the window says so, rather than ending the reader.
  sorbit::platform::InstallTruncationGuard();

  // Qt gets only the program name, so that it neither takes nor acts on a file's name.
  int qt_argc = argc > 0 ? 1 : 0;
  QApplication application(qt_argc, argv);
  QApplication::setApplicationName(QStringLiteral("sorbit-reader"));

  const std::string folder = sorbit::platform::UserSettingsFolder();
  sorbit::reader::ReaderWindow window(
      folder.empty() ? QString() : QString::fromStdString(folder + "/reader.ini"));
  // For scripts and benchmarks: once the first board's list is filled, print the title bar
  // and the anonymous memory in use, and end there, so that the time to the filled list is
  // the time the process took.
  if (const char* ready = std::getenv("SORBIT_READER_READY_EXIT"); ready != nullptr && *ready) {
    QObject::connect(&window, &sorbit::reader::ReaderWindow::Ready, &application, [&window] {
      std::printf("%s\nRssAnon: %s\n", window.windowTitle().toStdString().c_str(),
                  AnonymousMemory().c_str());
      std::fflush(stdout);
      std::_Exit(0);
    });
  }
  window.show();
  if (arguments.empty()) {
    window.OpenLastFiles();
  } else {
    window.OpenArguments(arguments);
  }
  return application.exec();
}
