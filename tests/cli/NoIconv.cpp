// iconv_open as it behaves on a system without the CP932 conversion module: it always fails.
// The fault tests preload this into sjisgrep, which must not need the module.
#include <errno.h>
#include <iconv.h>

extern "C" iconv_t iconv_open(const char*, const char*) {
  errno = EINVAL;
  return reinterpret_cast<iconv_t>(-1);
}
