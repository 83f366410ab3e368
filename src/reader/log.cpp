// writeLog: the opt-in diagnostic log. A line is appended only when the log
// file already exists as a regular file; the library never creates it.
#include <cstdio>
#include <cstring>
#include <ctime>

#include "tarnwick.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#endif

namespace {

// "return code" in GBK, the label before the value.
constexpr char kLabel[] = "\xB7\xB5\xBB\xD8\xC2\xEB";

// "YYYY-MM-DD hh:mm:ss" in local time; zeros when the time is unknown.
void FormatTimestamp(char (&out)[64]) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  bool known = localtime_s(&local, &now) == 0;
#else
  bool known = localtime_r(&now, &local) != nullptr;
#endif
  if (!known) local = std::tm{};
  std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", known ? local.tm_year + 1900 : 0,
                known ? local.tm_mon + 1 : 0, local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec);
}

// " <label>=<value>": the value as upper-case hex, at least four wide.
void FormatCode(char (&out)[64], int32_t value) {
  std::snprintf(out, sizeof out, " %s=%4X", kLabel, static_cast<unsigned>(value));
}

#if defined(_WIN32)

constexpr char kLogPath[] = "c:\\iclog.txt";

int32_t AppendLine(const char* stamp, const char* text, const char* code) {
  std::FILE* probe = std::fopen(kLogPath, "r");
  if (probe == nullptr) return 0;
  std::fclose(probe);
  std::FILE* file = std::fopen(kLogPath, "a");  // text mode: "\n" is stored as CR LF
  if (file == nullptr) return 0;
  std::fprintf(file, "%s: %s%s\n", stamp, text, code);
  return std::fclose(file) == 0 ? 0 : -1;
}

#else

constexpr char kLogPath[] = "/tmp/iclog.txt";

// O_NOFOLLOW and the regular-file check refuse a link or FIFO planted at the
// path (the folder is world-writable); O_NONBLOCK keeps a FIFO from
// blocking the open. Without O_CREAT a missing file stays missing.
int OpenExistingLog() {
  int fd = ::open(kLogPath, O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int32_t AppendLine(const char* stamp, const char* text, const char* code) {
  int fd = OpenExistingLog();
  if (fd < 0) return 0;
  static constexpr char kColon[] = ": ";
  static constexpr char kLineEnd[] = "\r\n";  // the same bytes on every platform
  iovec parts[] = {
      {const_cast<char*>(stamp), std::strlen(stamp)},
      {const_cast<char*>(kColon), 2},
      {const_cast<char*>(text), std::strlen(text)},
      {const_cast<char*>(code), std::strlen(code)},
      {const_cast<char*>(kLineEnd), 2},
  };
  // One writev so that concurrent writers never interleave inside a line.
  (void)::writev(fd, parts, 5);
  return ::close(fd) == 0 ? 0 : -1;
}

#endif

}  // namespace

extern "C" TW_API int32_t writeLog(const char* text, int32_t value) {
  char stamp[64];
  char code[64];
  FormatTimestamp(stamp);
  FormatCode(code, value);
  return AppendLine(stamp, text != nullptr ? text : "", code);
}
