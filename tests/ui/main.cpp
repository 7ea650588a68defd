// The window tests need a QApplication; they run on the offscreen platform, so no display
// is needed and nothing shows on a desktop.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // The viewer lookup reads Wine's registry; the tests give it one of their own per test.
  qputenv("WINEPREFIX", "/nonexistent-sorbit-wineprefix");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tekuri Log to SVF Converter"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
