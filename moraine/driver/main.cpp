// Moraine <cairnfile> <outputbasename>: converts a Cairn recording into MP4 files.

#include <cstdio>

#include "moraine/driver/converter.h"

int main(int argc, char** argv) {
  std::fputs("CAIRN to mp4 conversion\n", stdout);
  if (argc != 3) {
    std::fputs("Syntax:\nMoraine <cairnfile> <outputbasename>\n", stdout);
    return 0;
  }
  moraine::Converter converter(argv[1]);
  if (converter.run(argv[2]) == 0) std::fputs("CAIRN to mp4 conversion succesful\n", stdout);
  // A failed conversion shows only as the missing success line.
  return 0;
}
