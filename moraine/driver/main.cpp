// Moraine <cairnfile> <outputbasename>: converts a Cairn recording into MP4 files.

#include "moraine/driver/converter.h"
#include "moraine/driver/program_console.h"
#include "platform/memory_reuse.h"

int main(int argc, char** argv) {
  moraine::platform::KeepFreedBlocksForReuse();
  moraine::ProgramConsole console;
  console.Print("CAIRN to mp4 conversion\n");
  if (argc != 3) {
    console.Print("Syntax:\nMoraine <cairnfile> <outputbasename>\n");
    return 0;
  }
  moraine::Converter converter(argv[1]);
  // The success line means that at least one MP4 file was finished under its final name. A failed
  // conversion shows as the missing line; why it failed is on standard error.
  if (converter.run(argv[2]) == moraine::Converter::kSucceeded) {
    console.Print("CAIRN to mp4 conversion succesful\n");
  }
  return 0;
}
