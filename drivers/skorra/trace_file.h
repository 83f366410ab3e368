// The trace's file and its writes, one file per platform: a trace file is
// opened only when it is a regular file, without blocking, and a line that
// cannot be written is dropped without harming the application.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::skorra {

// The descriptor of `path` opened for appending (created owner-only when
// missing), or -1 with the reason in `problem`: the system's, or that the
// path is no regular file (a FIFO, a device, a folder).
int OpenTraceFile(const std::string& path, std::string& problem);

// Writes the whole line, or drops what is left of it when the descriptor
// takes no more (a pipe whose reader is gone, a full disk). Never raises
// SIGPIPE and leaves the process's signal handling as it was.
void WriteTraceLine(int fd, std::string_view line);

void CloseTraceFile(int fd);

}  // namespace tarnwick::skorra
