// The window tests need a QApplication; they run on the offscreen platform, so no display
// is needed and nothing shows on a desktop, unless the environment names another (the run
// under a real X server sets QT_QPA_PLATFORM=xcb).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QByteArrayList>
#include <cstdlib>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The viewer lookup reads Wine's registry; the tests give it one of their own per test.
  qputenv("WINEPREFIX", "/nonexistent-sorbit-wineprefix");
  // Without a viewer the window starts sorbit-reader from PATH: the tests start from a PATH
  // without one, so that an installed reader changes nothing; those that want one add it.
  QByteArrayList folders;
  for (const QByteArray& folder : qgetenv("PATH").split(':')) {
    if (::access((folder + "/sorbit-reader").constData(), X_OK) != 0) folders << folder;
  }
  qputenv("PATH", folders.join(':'));
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tekuri Log to SVF Converter"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
