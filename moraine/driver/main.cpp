// Moraine <cairnfile> <outputbasename>: converts a Cairn recording into MP4 files.

#include "moraine/driver/converter.h"
#include "moraine/driver/program_console.h"

int main(int argc, char** argv) {
  moraine::ProgramConsole console;
  console.Print("CAIRN to mp4 conversion\n");
  if (argc != 3) {
    console.Print("Syntax:\nMoraine <cairnfile> <outputbasename>\n");
    return 0;
  }
  moraine::Converter converter(argv[1]);
  if (converter.run(argv[2]) == 0) console.Print("CAIRN to mp4 conversion succesful\n");
  // A failed conversion shows only as the missing success line.
  return 0;
}
