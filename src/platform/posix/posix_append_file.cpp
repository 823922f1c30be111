#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/append_file.h"

namespace bb {

bool AppendWhole(const std::string& path, std::string_view text) {
  const int file = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (file < 0) return false;
  ssize_t written = -1;
  do {
    written = write(file, text.data(), text.size());
  } while (written < 0 && errno == EINTR);
  const bool closed = close(file) == 0;
  return closed && written == static_cast<ssize_t>(text.size());
}

}  // namespace bb
