// Writes seed INI files for the profile fuzzer into a folder: a whole Isp.ini,
// and files with each of the things that the reader has to take as Windows does.
//
//   profile_seeds FOLDER

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::string_literals;

struct Seed {
  const char* name;
  std::string content;
};

const std::vector<Seed>& Seeds() {
  static const std::vector<Seed> seeds = {
      {"isp",
       "[DevNo]\r\nChipID=10\r\n[2860]\r\nParamAddress2860=0x80000000\r\n"
       "CoreAddress2860=0x80100000\r\nFwFile=C:\\fw\\VuVED3038.bin\r\nIspFile=isp.bin\r\n"
       "ParamFile=dram.bin\r\nIspTimeoutSec=30\r\nFwFileID=65792\r\nAutoPowerDown2860=1\r\n"
       "[616]\r\nCoreAddress616_MN=4096\r\nNandReserveSize616=-1\r\n"
       "[BadPixel]\r\nLinkFlag=1\r\nBadpixelFile=\"C:\\bad pixel.bin\"\r\n"
       "[MaskFlag]\r\nMaskFlag=1\r\nMaskRom=1\r\nNormalNand=1\r\n"},
      {"layout",
       "; settings\n\n  [ devno ]  \n  chipid = 8 ; old\n\n[2860]\nfwfile\n"
       "FwFile = 'quoted' \n[2860]\nParamFile=second section\n"},
      {"bom",
       "\xEF\xBB\xBF[2860]\r\nFwFile=D:\\\xE5\x9B\xBE\xE5\x83\x8F\\fw.bin\r\n"
       "[\xC3\x84]\r\nx=\xF0\x9F\x98\x80\xE4\xB8\xAD\r\n"},
      {"numbers",
       "[2860]\r\nIspTimeoutSec=  12abc\r\nFwFileID=0X1f\r\nParamFile=\"\r\n"
       "[MaskFlag]\r\nMaskRom=-0x10\r\nMaskNand=0b101\r\nNormalRom=4294967296\r\n"
       "NormalNand=\"0000000000000000000000000005\"\r\n"},
      {"made-names", "a]b|K e y|v=1\r\n[A]B]\r\nk e y=old\r\n"},
      {"made-blank", " |\x1a|  \"q\"\r\n=nameless\r\n[]\r\nx=1"},
      {"breaks", "[2860]\rFwFile=cr\r\r\nx=1\n\r[DevNo]\r\n\nChipID=2"},
      {"nul",
       "[2860\0]\r\nFwFile\0=a\0b\r\n[DevNo]\r\nChipID=1\0"
       "2\r\n"s},
      {"strays", "[2860\r\n=\r\n==\r\n[\r\n]\r\n[2860] tail ]\r\n;FwFile=c\r\nFwFile"},
      {"latin1", "[2860]\r\nFwFile=C:\\\xC4rger\\fw.bin\r\nParamFile=\xE9\xE8\xA0\r\n"},
      {"long", "[2860]\r\nFwFile=" + std::string(300, 'v') + "\r\nIspFile=" +
                   [] {
                     std::string chinese;
                     for (int i = 0; i < 100; ++i) chinese += "\xE4\xB8\xAD";
                     return chinese;
                   }() +
                   "\r\n"},
      {"empty", ""},
  };
  return seeds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  bool written = true;
  for (const Seed& seed : Seeds()) {
    std::ofstream out(folder / (std::string(seed.name) + ".ini"),
                      std::ios::binary | std::ios::trunc);
    out.write(seed.content.data(), static_cast<std::streamsize>(seed.content.size()));
    written &= static_cast<bool>(out);
  }
  return written ? 0 : 1;
}
