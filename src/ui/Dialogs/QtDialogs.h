// The Qt face of Dialogs: QMessageBox with the program's own button labels and a
// non-native QFileDialog.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "ui/Dialogs/Dialogs.h"

class QMessageBox;
class QFileDialog;

namespace sorbit::ui {

class QtDialogs : public Dialogs {
 public:
  // Boxes and dialogs open above `owner` (may be null).
  explicit QtDialogs(QWidget* owner = nullptr);
  void SetOwner(QWidget* owner) { owner_ = owner; }

  MessageAnswer Show(const MessageBoxSpec& box) override;
  OpenFilesResult OpenFiles(const OpenFilesRequest& request) override;
  SaveFileResult SaveFile(const SaveFileRequest& request) override;

  // The box Show would run, not yet shown (the tests look at its title, icon and labels).
  static std::unique_ptr<QMessageBox> BuildBox(const MessageBoxSpec& box, QWidget* owner);
  static std::unique_ptr<QFileDialog> BuildOpenDialog(const OpenFilesRequest& request,
                                                      QWidget* owner);
  static std::unique_ptr<QFileDialog> BuildSaveDialog(const SaveFileRequest& request,
                                                      QWidget* owner);
  // The question the save dialog asks before it accepts a name that does not exist.
  static MessageBoxSpec CreatePromptFor(const std::string& path);

 private:
  QPointer<QWidget> owner_;
};

// Converts between the program's byte texts (UTF-8 file names, message texts with CR LF)
// and what Qt shows.
QString ToQt(std::string_view utf8);
QString FileNameToQt(std::string_view bytes);
std::string FileNameFromQt(const QString& name);
// A message text for display: CR LF becomes one line break.
QString MessageToQt(std::string_view utf8);

}  // namespace sorbit::ui
