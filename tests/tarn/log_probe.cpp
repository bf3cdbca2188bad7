// Writes a few messages through the decoder module's logger and exits. The logging tests run it in a
// fresh process because logging is configured once per process.
//
//   tarn_log_probe MESSAGE   logs "MESSAGE" at ERROR, "debug MESSAGE" at DEBUG and a 600-character
//                            ERROR message made of 'x', all through the logger "tarn".

#include <string>

#include "tarn/utils/client_log.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  moraine::tarn::CClientLog log;
  log.UseLogger("tarn");
  log.Error("%s", argv[1]);
  log.Debug("debug %s", argv[1]);
  log.Error("%s", std::string(600, 'x').c_str());
  return 0;
}
