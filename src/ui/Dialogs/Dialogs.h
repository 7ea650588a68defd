// Message boxes and file dialogs of the two windows, behind one small interface.
//
// The windows never open a box or a dialog themselves: they describe it (title, icon,
// buttons, text; or start folder, filter and name) and ask a Dialogs object to show it.
// QtDialogs shows real Qt boxes; the tests answer through a scripted implementation and see
// exactly what the user would have seen. What is decided here (titles and icons of the box
// kinds, the "." rule of the standard error box) is therefore the same in both.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "convert/ConversionRun.h"

namespace sorbit::ui {

enum class BoxIcon { None, Warning, Error, Information, Question };

// Everything a message box shows. Texts are UTF-8; "\r\n" and "\n" both break lines.
struct MessageBoxSpec {
  std::string title;
  BoxIcon icon = BoxIcon::None;
  MessageButtons buttons = MessageButtons::Ok;
  std::string text;
};

// The extended error the open dialog reports when the chosen names did not fit its
// 8192-byte selection buffer.
inline constexpr int kOpenDialogBufferTooSmall = 12291;

struct OpenFilesRequest {
  std::string start_folder;  // empty: the dialog's own choice
  // Description and pattern pairs, offered in this order; the first is selected.
  std::vector<std::pair<std::string, std::string>> filters;
};

struct OpenFilesResult {
  bool accepted = false;
  std::vector<std::string> paths;  // full paths, in the dialog's order; empty unless accepted
  int error_code = 0;              // 0 for a plain cancel
};

struct SaveFileRequest {
  std::string start_folder;
  std::string file_name;  // proposed name
};

struct SaveFileResult {
  bool accepted = false;
  std::string path;  // full path of the chosen file; empty unless accepted
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // Shows one modal box and returns the button that closed it.
  virtual MessageAnswer Show(const MessageBoxSpec& box) = 0;
  virtual OpenFilesResult OpenFiles(const OpenFilesRequest& request) = 0;
  virtual SaveFileResult SaveFile(const SaveFileRequest& request) = 0;

  // A box of one of the conversion run's kinds: plain boxes carry `app_title` and no icon,
  // the typed ones the title and icon of their kind.
  MessageAnswer ShowMessage(MessageKind kind, MessageButtons buttons, std::string_view text,
                            std::string_view app_title);
  // The standard error box: the application's title, an error icon, "OK", and a "." added
  // when the text's last byte sorts after ".".
  void ShowError(std::string_view text, std::string_view app_title);
};

// Title and icon of a box kind ("警告", "ｴﾗｰ", "情報", "確認"; plain: `app_title`, no icon).
MessageBoxSpec BoxFor(MessageKind kind, MessageButtons buttons, std::string_view text,
                      std::string_view app_title);

// The text the standard error box shows for `text`.
std::string StandardErrorText(std::string_view text);

}  // namespace sorbit::ui
