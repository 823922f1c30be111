#pragma once

#include <fstream>
#include <string>

namespace bb {

// Opens a file for binary reading only when it is a regular file. A FIFO, a
// device, a socket or a folder is refused without blocking and without being
// read: opening a FIFO waits for a writer, and a device may never end.
bool OpenRegularFile(const std::string& path, std::ifstream& file);

}  // namespace bb
