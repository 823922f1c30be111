// Writes the sample job into a folder: Isp.ini with relative image paths, the
// parameter file, the ISP core, the firmware BRN file and a files.ini for the
// export. Everything is made here, from the simulated camera's own encoder.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

#include "sim/sample_image.h"
#include "sim/sim_raw_image.h"

namespace {

bool Write(const std::filesystem::path& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  return static_cast<bool>(out);
}

bool Write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  return Write(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

constexpr std::string_view kIspIni =
    "; Burnbench sample job. Relative image paths are found beside this file.\r\n"
    "[DevNo]\r\nChipID=10\r\n"
    "[2860]\r\nParamAddress2860=0x00001000\r\nCoreAddress2860=0x00020000\r\n"
    "DramAddress2860=0x00300000\r\nRomAddress2860=0x00000000\r\nSectorAddress2860=0\r\n"
    "ParamFile=param.txt\r\nIspFile=core.bin\r\nFwFile=fw.brn\r\n"
    "IspTimeoutSec=30\r\nFwFileID=256\r\nAutoPowerDown2860=0\r\n"
    "[MaskFlag]\r\nMaskFlag=0\r\n";

constexpr std::string_view kFilesIni =
    "; Names of the exported resources, by entry id.\r\n"
    "[FW]\r\nRes_0x100.res=firmware.bin\r\n"
    "[RawA File List]\r\nRes_0x1.res=logo.txt\r\nRes_0x5.res=palette.bin\r\n"
    "[RawB File List]\r\nRes_0x80.res=menu.txt\r\nRes_0x81.res=font.bin\r\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_examples FOLDER\n", stderr);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const bool ok = Write(folder / "Isp.ini", kIspIni) && Write(folder / "files.ini", kFilesIni) &&
                  Write(folder / "param.txt", bb::sim::SampleParameterFile()) &&
                  Write(folder / "core.bin", bb::sim::SampleIspCore()) &&
                  Write(folder / "fw.brn", bb::sim::EncodeBrnFile(bb::sim::SampleImageContent(), 0x100));
  if (!ok) {
    std::fprintf(stderr, "make_examples: cannot write into %s\n", folder.string().c_str());
    return 1;
  }
  return 0;
}
