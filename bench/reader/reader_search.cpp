// A search of the reader window, timed from the press of Enter to the list of hits: the window
// opens FILE offscreen, and once it is indexed searches every field of every board for
// PATTERN (UTF-8). Prints "SECONDS HITS" (the hits of all boards).
//
//   reader_search FILE PATTERN
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <cstdio>
#include <string>

#include "reader/ReaderWindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: reader_search FILE PATTERN\n");
    return 2;
  }
  sorbit::reader::ReaderWindow window{QString()};
  window.show();
  QSignalSpy ready(&window, &sorbit::reader::ReaderWindow::Ready);
  window.OpenFiles({argv[1]});
  while (window.Busy() || ready.isEmpty())
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QApplication::processEvents();

  window.PatternEdt->setText(QString::fromUtf8(argv[2]));
  window.FieldCmbBox->setCurrentIndex(0);  // every field
  window.ScopeCmbBox->setCurrentIndex(1);  // every board
  QSignalSpy finished(&window, &sorbit::reader::ReaderWindow::SearchFinished);
  QElapsedTimer clock;
  clock.start();
  window.StartSearch();
  while (finished.isEmpty()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  const std::vector<std::uint32_t>* hits = window.HitsOf(window.ShownArchive());
  std::printf("%.4f %zu\n", seconds, hits != nullptr ? hits->size() : std::size_t{0});
  return 0;
}
