#include "util/binary_file.h"

#include <limits>
#include <new>

#include "util/regular_file.h"

namespace bb {

std::optional<std::uint64_t> OpenForReading(const std::string& path, std::ifstream& file) {
  if (!OpenRegularFile(path, file)) return std::nullopt;
  file.seekg(0, std::ios::end);
  const std::streamoff end = file.tellg();
  file.seekg(0, std::ios::beg);
  if (end < 0 || !file) return std::nullopt;
  return static_cast<std::uint64_t>(end);
}

bool ReadExactly(std::ifstream& file, std::uint8_t* destination, std::uint64_t count) {
  constexpr std::uint64_t kPiece = std::uint64_t{1} << 30;
  while (count > 0) {
    const std::uint64_t piece = count < kPiece ? count : kPiece;
    file.read(reinterpret_cast<char*>(destination), static_cast<std::streamsize>(piece));
    if (static_cast<std::uint64_t>(file.gcount()) != piece) return false;
    destination += piece;
    count -= piece;
  }
  return true;
}

std::unique_ptr<std::uint8_t[]> AllocateZeroed(std::uint64_t size) {
  if (size > std::numeric_limits<std::size_t>::max() / 2) return nullptr;
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow)
                                             std::uint8_t[static_cast<std::size_t>(size)]());
}

}  // namespace bb
