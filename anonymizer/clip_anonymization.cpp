// The clip library's entry point. It catches everything, so no exception leaves the library.

#include "anonymizer/clip_anonymization.h"

#include <filesystem>
#include <system_error>

#include <opencv2/videoio.hpp>

#include "anonymizer/module_diagnostics.h"

namespace {

using moraine::anonymizer::DebugException;
using moraine::anonymizer::DebugMessage;

// Hands `picture` to the handler as packed pixels.
bool PassPicture(ClipPictureHandler handler, void* context, cv::Mat& picture) {
  if (!picture.isContinuous()) picture = picture.clone();
  return handler(context, picture.data, picture.cols, picture.rows, picture.channels());
}

}  // namespace

extern "C" bool AnonymizeClipPictures(const char* input, const char* output, ClipPictureHandler handler,
                                      void* context) {
  try {
    DebugMessage("AnonymizerOpenCVBGS::AnonymizeClip:Entry");
    // Files go through the FFmpeg back end: asking every back end would also probe attached cameras
    // for a name no file has.
    cv::VideoCapture capture;
    if (input == nullptr || output == nullptr || handler == nullptr || !capture.open(input, cv::CAP_FFMPEG)) {
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
      if (!PassPicture(handler, context, picture)) {
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
  } catch (...) {
    return false;
  }
}
