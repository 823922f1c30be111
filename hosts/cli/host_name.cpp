#include "host_name.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace bb::cli {

std::string HostName() {
#if defined(_WIN32)
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof(name);
  if (GetComputerNameA(name, &size) && size > 0) return std::string(name, size);
#else
  char name[256] = {};
  if (gethostname(name, sizeof(name) - 1) == 0 && name[0] != '\0') return name;
#endif
  return "station";
}

}  // namespace bb::cli
