#include "moraine/driver/conversion_outcome.h"

namespace moraine {

std::string NoOutputReason(const RecordingFindings& findings) {
  const std::string start = "error: no MP4 file was written: ";
  if (findings.records == 0) return start + "no record could be read from the recording\n";
  // A codec descriptor or the first parameter sets open the output; without either nothing is kept.
  if (!findings.output_started) {
    return start + "the recording holds no codec descriptor and no video parameter sets that could be read\n";
  }
  const std::string video = findings.video_started ? "no picture that could be decoded" : "no video that could be read";
  const std::string audio = findings.audio_records == 0 ? "no audio" : "no audio that could be decoded";
  return start + "the recording holds " + video + " and " + audio + "\n";
}

}  // namespace moraine
