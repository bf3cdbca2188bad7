#include "anonymizer/clip_anonymization.h"

#include <cstdint>
#include <filesystem>
#include <system_error>

#include <opencv2/videoio.hpp>

#include "anonymizer/module_diagnostics.h"

namespace moraine::anonymizer {
namespace {

// Runs the anonymizer on `picture` in place, describing it as a bottom-up bitmap of its own size.
bool AnonymizePicture(IAnonymizer& anonymizer, cv::Mat& picture) {
  if (!picture.isContinuous()) picture = picture.clone();
  BitmapInfoHeader header;
  header.biWidth = picture.cols;
  header.biHeight = picture.rows;
  header.biBitCount = static_cast<std::uint16_t>(8 * picture.channels());
  const AnonymizerFrame record = PackedFrameRecord(picture.data, header);
  return anonymizer.AnonymizeFrame(&record);
}

}  // namespace

bool AnonymizeClipFile(IAnonymizer& anonymizer, const char* input, const char* output) {
  try {
    DebugMessage("AnonymizerOpenCVBGS::AnonymizeClip:Entry");
    // Files go through the FFmpeg back end: asking every back end would also probe attached cameras
    // for a name no file has.
    cv::VideoCapture capture;
    if (input == nullptr || output == nullptr || !capture.open(input, cv::CAP_FFMPEG)) {
      DebugMessage("AnonymizerOpenCVBGS::AnonymizeClip:ERROR! Unable to open file!!!");
      return false;
    }
    const cv::Size size(static_cast<int>(capture.get(cv::CAP_PROP_FRAME_WIDTH)),
                        static_cast<int>(capture.get(cv::CAP_PROP_FRAME_HEIGHT)));
    const double frame_rate = capture.get(cv::CAP_PROP_FPS);
    cv::VideoWriter writer(output, cv::CAP_FFMPEG, cv::VideoWriter::fourcc('X', 'V', 'I', 'D'), frame_rate, size,
                           /*isColor=*/true);
    if (!writer.isOpened()) {
      DebugMessage("AnonymizerOpenCVBGS::AnonymizeClip:Could not open output video file!!!");
      return false;
    }
    cv::Mat picture;
    while (capture.read(picture) && !picture.empty()) {
      if (!AnonymizePicture(anonymizer, picture)) {
        DebugMessage("AnonymizerOpenCVBGS::AnonymizeClip:ERROR! Unable to anonymize a picture!!!");
        writer.release();
        std::error_code ignored;
        std::filesystem::remove(output, ignored);
        return false;
      }
      writer.write(picture);
    }
    capture.release();
    DebugMessage("AnonymizerOpenCVBGS::AnonymizeClip:Exit");
    writer.release();
    return true;
  } catch (const std::exception& exception) {
    DebugException("AnonymizerOpenCVBGS::AnonymizeClip:Exception:", exception);
    return false;
  }
}

}  // namespace moraine::anonymizer
