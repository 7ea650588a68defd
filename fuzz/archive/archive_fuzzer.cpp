// Arbitrary bytes as an archive file: opening, indexing in steps, walking every thread,
// reading every message and searching must neither crash nor loop; every message must be in
// exactly one thread, and every hit of a search must show its match. The first byte picks the step
// size, so that steps cut the file anywhere.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/Archive.h"
#include "archive/References.h"
#include "archive/Search.h"

namespace {

std::string ScratchPath() {
  return "/tmp/sorbit-archive-fuzz-" + std::to_string(::getpid()) + ".log";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorbit::archive;
  if (size == 0) return 0;
  const std::size_t step = 1 + data[0] * 7;
  const std::string path = ScratchPath();
  {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (std::fwrite(data + 1, 1, size - 1, file) != size - 1) std::abort();
    std::fclose(file);
  }
  std::unique_ptr<Archive> archive = Archive::Open(path);
  while (!archive->IndexStep(step)) {
  }
  const std::uint32_t count = archive->MessageCount();
  std::vector<int> seen(count, 0);
  std::uint32_t walked = 0;
  for (const BoardInfo& board : archive->Boards()) {
    for (std::uint32_t i = board.first_root; i != kNone; i = archive->NextInThreadOrder(i)) {
      if (++walked > count || ++seen[i] != 1) std::abort();  // a loop, or a message twice
      if (archive->Message(i).Parent() != kNone && archive->Message(i).Parent() >= i) std::abort();
    }
  }
  if (walked != count) std::abort();
  MessageText text;
  RawMessage raw;
  for (std::uint32_t i = 0; i < count; ++i) {
    archive->ReadText(i, text, raw);
    for (const Reference& reference : FindReferences(text.body)) {
      const std::uint32_t found =
          archive->FindNumbered(archive->Message(i).Board(), reference.digits, i);
      if (found != kNone && found >= count) std::abort();
    }
  }
  static const SjisRegExp::TCompiledRegExp kPatterns[] = {
      CompileSearchPattern("a", false), CompileSearchPattern("[ァ-ヶ]+", false),
      CompileSearchPattern("Re: [0-9]+", false), CompileSearchPattern("(^|x)", false)};
  // Every hit must show a match where the reader highlights; titles are part of all fields.
  for (const SjisRegExp::TCompiledRegExp& pattern : kPatterns) {
    const std::vector<std::uint32_t> hits = SearchArchive(*archive, pattern, kSearchAll);
    const std::vector<std::uint32_t> titles = SearchArchive(*archive, pattern, kSearchTitle);
    for (std::uint32_t i : titles) {
      if (!std::binary_search(hits.begin(), hits.end(), i)) std::abort();
    }
    for (std::uint32_t i : hits) {
      if (i >= count || FindInMessage(*archive, pattern, i, kSearchAll, raw).empty()) std::abort();
    }
  }
  ::unlink(path.c_str());
  return 0;
}
