// Writes seed files.ini lists for the files.ini fuzzer into a folder.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: files_ini_seeds FOLDER\n", stderr);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  const std::vector<std::string> seeds = {
      "[FW]\nRes_0x100.res=firmware.bin\n[RawA File List]\nRes_0x1.res=logo.bmp\n"
      "Res_0x7f.res=sub/x.bin\n[RawB File List]\nRes_0x80.res=font.dat\nRes_0x2000.res=b.bin\n",
      "[FW]\nRes_0x100.res=..\\escape.bin\n",
      "[RawA File List]\nRes_0x1.res=/abs/path.bin\nRes_0x7f.res=C:\\x.bin\n",
      "[RawB File List]\nRes_0x80.res=a/../../b.bin\nRes_0x2000.res=...\n",
      "[FW]\nRes_0x100.res=fwlink\n[RawA File List]\nRes_0x1.res=dirlink/x.bin\nRes_0x7f.res=dirlink\n",
      "[RawA File List]\nRes_0x7f.res=CON\n[RawB File List]\nRes_0x2000.res=nul.txt\n",
      "",
  };
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    std::ofstream(folder / ("seed" + std::to_string(i) + ".ini"), std::ios::binary) << seeds[i];
  }
  return 0;
}
