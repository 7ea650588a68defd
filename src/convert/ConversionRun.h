// Conversion run: what the convert button does. Checks the user's choices, converts every
// chosen tekuri log into one SVF file in the output folder (backing up a file it replaces),
// reports progress and ends with a summary.
//
// The run is synchronous and talks to its caller only through ConversionHost (message boxes,
// the event pump, the progress display, the same-folder change) and FileSystem, so the
// window, the command-line converter and the tests all drive the same code. Each output is
// streamed into a hidden temporary file as its records are made and given its name by the
// save, so memory does not grow with the size of a log.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/FileSystem.h"
#include "convert/LogReader.h"
#include "convert/SvfRecord.h"

namespace sorbit {

// The run's own texts (UTF-8; "\r\n" is a line break).
namespace run_text {
inline constexpr std::string_view kNoInputFiles = "先に tekuri ログファイルを指定してください";
inline constexpr std::string_view kSameFolder =
    "変換後のファイル保存先が tekuri ログのある場所と同じで、\r\n"
    "変換後のファイル名も同じになるので、接頭辞「svf」を付けて保存します";
inline constexpr std::string_view kCreateFolder =
    "指定されたフォルダがありませんが、\r\n新しく作成しますか？";
inline constexpr std::string_view kSaveFailed =
    "ファイルの保存中にエラーが発生したので、処理を中止します。";
}  // namespace run_text

struct ConversionOptions {
  std::vector<std::string> InputFiles;  // full paths, in the order chosen
  std::string InputFolder;              // folder of the first chosen file, with its final "/"
  std::string OutputFolder;             // as typed: may lack the final "/" or be empty
  bool UsePrefix = true;
  std::string Prefix = "svf";  // used as it stands, whatever UsePrefix says
  std::string Extension = ".log";
  bool AddMsgNo = true;
  bool DivEMail = true;
  bool UseEMail4ID = false;
};

// The kinds of message box the run asks for. Plain boxes carry the application's title and
// no icon; the others carry the title and icon of their kind.
enum class MessageKind { Plain, Warning, Error, Information, Confirmation };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// What the progress display is told before each message is read: the label's text on
// request, and the figures a front end may draw a display of its own from.
struct ProgressInfo {
  // The progress dialog's text, "<file>\r\n を変換処理しています...\r\n\r\n<ordinal> 件目",
  // built on request, as a host that draws only now and then needs it for few of the
  // messages. The second form replaces `text` and reuses its memory.
  std::string Text() const;
  void Text(std::string& text) const;
  std::string_view file_name;  // the input file's name without its folder
  long long ordinal = 0;       // 1 for the first message of each file
  long long bytes_read = 0;    // bytes of the input consumed so far
  long long file_size = 0;     // bytes of the input file (0 when unknown)
};

class ConversionHost {
 public:
  virtual ~ConversionHost() = default;
  // A modal message box; texts are UTF-8 with CR LF line breaks.
  virtual MessageAnswer ShowMessage(MessageKind kind, MessageButtons buttons,
                                    std::string_view text) = 0;
  // The application's general error report (an I/O error that ends the run).
  virtual void ReportError(std::string_view text) = 0;
  // Lets pending window events be processed, once per message.
  virtual void ProcessEvents() = 0;
  virtual void ShowProgress() = 0;
  virtual void SetProgress(const ProgressInfo& progress) = 0;
  virtual void CloseProgress() = 0;
  // The same-folder rule turned the prefix on and set it to `prefix`; show it at once.
  virtual void PrefixTurnedOn(std::string_view prefix) = 0;
  // A save failed; `detail` names the file and the system's reason ("cannot write
  // /out/svfgeneral.log: No space left on device"). Called just before the save error box,
  // whose text stays the same whatever went wrong; a host that shows only the box ignores it.
  virtual void ReportSaveError(std::string_view detail) { (void)detail; }
};

// Finds the reply number of a title ("Re: 12" gives "12") and stores it in `reply_no`, whose
// capacity is reused from message to message. The run leaves ReplyNo empty when no finder
// is given.
using ReplyNumberFinder = std::function<void(std::string_view title, std::string& reply_no)>;

enum class RunOutcome {
  Finished,        // the summary was shown
  NoInputFiles,    // the no-file message was shown
  FolderDeclined,  // the folder question was answered No
  SaveFailed,      // the save error box was shown
  ReadFailed,      // an input could not be opened or read; reported through ReportError
};

// One input converted and not yet saved: the input is still open, so that the save can refuse
// to put the output in its place, and the output's bytes are in a hidden temporary file (or
// the output's failure is kept, to be reported by the save).
struct ConvertedFile {
  std::unique_ptr<InputFile> input;
  OutputLines output;
};

// What a file's conversion reads and writes through; `output` is null when none was made.
struct FileStreams {
  std::unique_ptr<InputBlockSource> blocks;
  std::unique_ptr<OutputFile> output;
};

// What converting one file of a run takes besides its host. Outputs are named by OutputPath
// from the options as they stand after the checks.
struct FileConversion {
  const ConversionOptions* options = nullptr;
  FileSystem* fs = nullptr;
  ReplyNumberFinder reply_numbers;
  // A front end's own streams of an open input, which outlives them, and of its new output
  // (or null); SequentialBlocks and the output itself when empty.
  std::function<FileStreams(InputFile&, std::unique_ptr<OutputFile>)> streams;
  // Why no output can be made (the output folder could not be created), reported by the
  // first save as the reason of its failure.
  std::optional<FileError> output_error;
};

// Opens `input_path` and a new output for it, shows the progress display when
// `show_progress`, then streams the record of every message into the output, telling `host`
// of each message before it is read (ProcessEvents, SetProgress). Throws FileError when the
// input cannot be opened or read, std::bad_alloc when memory runs out; what was written is
// then removed.
ConvertedFile ConvertFile(const FileConversion& conversion, const std::string& input_path,
                          ConversionHost& host, bool show_progress);

// Moves an existing regular file at `path` aside under its dated backup name, then commits
// `lines` (OutputLines::Commit), whose file appears at `path` only now that it is whole.
// Refuses (FileError) when `path` names `open_input`, the input being converted, which then
// stays unchanged, and when anything but a regular file stands at `path` (a FIFO, a device, a
// folder), which is found without opening it. When the backup name is taken, the first free
// name of "<backup>_2", "<backup>_3", ... is used, so an existing file is never replaced. When
// the output failed (a full disk), the previous output stays under its backup name and
// nothing is left at `path`. Every FileError names the path and the reason.
void SaveWithBackup(FileSystem& fs, const std::string& path, OutputLines& lines,
                    const InputFile* open_input);

// A front end's part in a run whose files are converted ahead of their turn, on other threads
// (tekuri2svf -j). The run itself still makes every host call and every save, in list order;
// this only hands it files already converted with ConvertFile.
class ConversionAhead {
 public:
  virtual ~ConversionAhead() = default;
  // The checks have passed: files may be converted from now on, as `conversion` says.
  virtual void Start(const FileConversion& conversion) = 0;
  // At file `index`'s turn, before anything is shown for it: whether it was opened ahead of
  // its turn. If so, the run shows the progress display and calls Take.
  virtual bool Opened(std::size_t index) = 0;
  // Waits until file `index` is converted, letting `host` show its progress. Gives the file,
  // or nothing when the run is to convert it at its turn (it could not be read ahead, or its
  // path no longer names the file that was read).
  virtual std::optional<ConvertedFile> Take(std::size_t index, ConversionHost& host) = 0;
  // The run is over: nothing is converted from now on, and what was converted goes.
  virtual void Stop() = 0;
};

// Runs one conversion. `options` may be changed by the same-folder rule (UsePrefix on,
// Prefix "svf"), which is also reported through host.PrefixTurnedOn. With `ahead`, files it
// converted ahead of their turn are used at their turn; outputs, backups, messages and the
// outcome are those of the run without it.
RunOutcome RunConversion(ConversionOptions& options, ConversionHost& host, FileSystem& fs,
                         const ReplyNumberFinder& reply_numbers = {},
                         ConversionAhead* ahead = nullptr);

}  // namespace sorbit
