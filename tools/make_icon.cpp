// Draws the program's icon, a camera on a blue tile, and writes it as a
// Windows .ico file with a 32x32 and a 16x16 image in 32-bit colour.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

struct Rgba {
  std::uint8_t r, g, b, a;
};

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Put16(out, value & 0xFFFFu);
  Put16(out, value >> 16);
}

// Coordinates are in a 32-unit square whatever the image size, so both sizes
// show the same picture.
Rgba PixelAt(double x, double y) {
  const Rgba clear{0, 0, 0, 0};
  const Rgba tile{0x1F, 0x5F, 0xAF, 0xFF};
  const Rgba body{0xF2, 0xF2, 0xF2, 0xFF};
  const Rgba lens{0x20, 0x20, 0x28, 0xFF};
  const Rgba glint{0x9F, 0xCF, 0xFF, 0xFF};
  const auto inside = [&](double left, double top, double right, double bottom) {
    return x >= left && x < right && y >= top && y < bottom;
  };
  if (!inside(1, 1, 31, 31)) return clear;
  const double lensDistance = std::hypot(x - 16, y - 18);
  if (lensDistance < 2.5) return glint;
  if (lensDistance < 6) return lens;
  if (inside(5, 11, 27, 26) || inside(11, 8, 21, 11)) return body;
  return tile;
}

std::vector<std::uint8_t> Image(int size) {
  std::vector<std::uint8_t> out;
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(size));
  // The height covers the colour rows and the mask rows.
  Put32(out, static_cast<std::uint32_t>(size * 2));
  Put16(out, 1);
  Put16(out, 32);
  for (int i = 0; i < 6; ++i) Put32(out, 0);
  const double scale = 32.0 / size;
  std::vector<bool> transparent;
  for (int row = size - 1; row >= 0; --row) {
    for (int column = 0; column < size; ++column) {
      const Rgba pixel = PixelAt((column + 0.5) * scale, (row + 0.5) * scale);
      out.insert(out.end(), {pixel.b, pixel.g, pixel.r, pixel.a});
      transparent.push_back(pixel.a == 0);
    }
  }
  // The mask rows are padded to 32 bits.
  const int maskRowBytes = (size + 31) / 32 * 4;
  for (int row = 0; row < size; ++row) {
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(maskRowBytes), 0);
    for (int column = 0; column < size; ++column) {
      if (transparent[static_cast<std::size_t>(row * size + column)]) {
        bits[static_cast<std::size_t>(column / 8)] |=
            static_cast<std::uint8_t>(0x80 >> (column % 8));
      }
    }
    out.insert(out.end(), bits.begin(), bits.end());
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_icon FILE.ico\n", stderr);
    return 2;
  }
  const int sizes[] = {32, 16};
  std::vector<std::vector<std::uint8_t>> images;
  for (const int size : sizes) images.push_back(Image(size));
  std::vector<std::uint8_t> file;
  Put16(file, 0);
  Put16(file, 1);
  Put16(file, static_cast<std::uint32_t>(images.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    file.push_back(static_cast<std::uint8_t>(sizes[i]));
    file.push_back(static_cast<std::uint8_t>(sizes[i]));
    file.push_back(0);
    file.push_back(0);
    Put16(file, 1);
    Put16(file, 32);
    Put32(file, static_cast<std::uint32_t>(images[i].size()));
    Put32(file, offset);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const auto& image : images) file.insert(file.end(), image.begin(), image.end());
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out) {
    std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
