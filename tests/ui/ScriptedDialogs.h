// A Dialogs implementation that a test scripts: it records every box and dialog request and
// answers from queues the test fills (Ok / No / cancel when a queue is empty).
#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "ui/Dialogs/Dialogs.h"

namespace sorbit::ui::testing {

class ScriptedDialogs : public Dialogs {
 public:
  std::vector<MessageBoxSpec> boxes;
  std::deque<MessageAnswer> answers;                   // for Yes/No boxes; empty: No
  std::function<void(const MessageBoxSpec&)> on_show;  // runs while the box is "open"

  std::vector<OpenFilesRequest> open_requests;
  std::deque<OpenFilesResult> open_results;  // empty: cancelled
  std::vector<SaveFileRequest> save_requests;
  std::deque<SaveFileResult> save_results;  // empty: cancelled

  MessageAnswer Show(const MessageBoxSpec& box) override {
    boxes.push_back(box);
    if (on_show) on_show(box);
    if (box.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    if (answers.empty()) return MessageAnswer::No;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  OpenFilesResult OpenFiles(const OpenFilesRequest& request) override {
    open_requests.push_back(request);
    if (open_results.empty()) return {};
    OpenFilesResult result = open_results.front();
    open_results.pop_front();
    return result;
  }
  SaveFileResult SaveFile(const SaveFileRequest& request) override {
    save_requests.push_back(request);
    if (save_results.empty()) return {};
    SaveFileResult result = save_results.front();
    save_results.pop_front();
    return result;
  }

  static OpenFilesResult Chosen(std::vector<std::string> paths) {
    OpenFilesResult result;
    result.accepted = true;
    result.paths = std::move(paths);
    return result;
  }
  static SaveFileResult Saved(std::string path) {
    SaveFileResult result;
    result.accepted = true;
    result.path = std::move(path);
    return result;
  }
};

}  // namespace sorbit::ui::testing
