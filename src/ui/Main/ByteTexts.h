// The bytes behind the texts the window puts into its line edits.
//
// Settings values and file names are bytes (Shift-JIS from an old settings file, a folder
// named in Shift-JIS in an old archive, any invalid UTF-8), while a QLineEdit holds UTF-16
// text, and decoding turns every byte sequence that is not UTF-8 into U+FFFD. So for each
// edit the window remembers the bytes it last set and the text they were shown as. While the
// edit still shows that text (the user did not change it), those bytes are its value, byte
// for byte; a text the user changed is taken as UTF-8, the platform's own encoding.
//
// Invariant: for each remembered edit, `shown` is the text the edit showed right after the
// window set `bytes` (FileNameToQt of them, as the edit keeps it).
#pragma once

#include <QLineEdit>
#include <map>
#include <string>

#include "ui/Dialogs/QtDialogs.h"

namespace sorbit::ui {

class ByteTexts {
 public:
  // Shows `bytes` in `edit` and remembers them. The edit's change handlers already see the
  // new bytes through Get.
  void Set(QLineEdit* edit, std::string bytes) {
    Remembered& remembered = texts_[edit];
    remembered.bytes = std::move(bytes);
    remembered.shown = FileNameToQt(remembered.bytes);
    edit->setText(remembered.shown);
    remembered.shown = edit->text();  // as the edit keeps it (it may cut a long text)
  }

  // The value of `edit`: the bytes last set while it shows their text, else its text in UTF-8.
  std::string Get(const QLineEdit* edit) const {
    const auto found = texts_.find(edit);
    const QString text = edit->text();
    if (found != texts_.end() && found->second.shown == text) return found->second.bytes;
    return FileNameFromQt(text);
  }

 private:
  struct Remembered {
    std::string bytes;
    QString shown;
  };
  std::map<const QLineEdit*, Remembered> texts_;
};

}  // namespace sorbit::ui
