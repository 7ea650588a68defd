#include "export/FileOutput.h"

#include "platform/posix/PosixFile.h"

namespace sorbit::exporter {

int DescriptorSink::Write(std::string_view bytes) { return platform::WriteAll(fd_, bytes); }

}  // namespace sorbit::exporter
