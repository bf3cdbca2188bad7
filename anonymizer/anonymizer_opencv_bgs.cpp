#include "anonymizer/anonymizer_opencv_bgs.h"

#include <cstring>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "anonymizer/anonymizer_helper.h"
#include "anonymizer/bw_threshold.h"
#include "anonymizer/clip_library_client.h"
#include "anonymizer/frame_geometry.h"
#include "anonymizer/module_diagnostics.h"
#include "anonymizer/skin_rule.h"

namespace moraine::anonymizer {
namespace {

constexpr int kHistory = 500;
constexpr double kVarianceThreshold = 16.0;
constexpr double kAutomaticLearningRate = -1;
constexpr std::int32_t kWarmUpFrames = 5;
constexpr double kColourDifferenceFloor = 10;
const cv::Scalar kSolidFill(135, 184, 222);  // B, G, R

enum MaskingType : std::int32_t { kBlurred = 0, kSolid = 1, kPixelated = 2 };
enum Option : std::int32_t { kMovingOrSkin = 0, kMovingOnly = 1, kSkinOnly = 2 };

cv::Ptr<cv::BackgroundSubtractorMOG2> NewBackgroundModel() {
  return cv::createBackgroundSubtractorMOG2(kHistory, kVarianceThreshold, /*detectShadows=*/true);
}

AnonymizationParameters DefaultParameters() {
  AnonymizationParameters parameters;
  parameters.maskingType = kBlurred;
  parameters.reserved_double = 1.0;
  parameters.pixelBlockSize = 10;
  parameters.blurIntensity = 4;
  return parameters;
}

}  // namespace

IAnonymizer* AnonymizerOpenCVBGS::Create() { return new AnonymizerOpenCVBGS(); }

AnonymizerOpenCVBGS::AnonymizerOpenCVBGS()
    : background_model_(NewBackgroundModel()), parameters_(DefaultParameters()), bw_threshold_(ReadBwThreshold()) {
  DebugMessage("AnonymizerOpenCVBGS::Constructor");
}

AnonymizerOpenCVBGS::~AnonymizerOpenCVBGS() { DebugMessage("AnonymizerOpenCVBGS::Destructor"); }

void AnonymizerOpenCVBGS::Release() {
  DebugMessage("AnonymizerOpenCVBGS::Release");
  delete this;
}

AnonymizationParameters AnonymizerOpenCVBGS::GetAnonymizationParameters() {
  DebugMessage("AnonymizerOpenCVBGS::GetAnonymizationParameters");
  return parameters_;
}

bool AnonymizerOpenCVBGS::SetAnonymizationParameters(AnonymizationParameters parameters) {
  DebugMessage("AnonymizerOpenCVBGS::SetAnonymizationParameters");
  parameters_ = parameters;
  return true;
}

bool AnonymizerOpenCVBGS::AnonymizeClip(const char* input, const char* output) {
  return AnonymizeClipFile(*this, input, output);
}

bool AnonymizerOpenCVBGS::AnonymizeFrame(const AnonymizerFrame* frame) {
  try {
    DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame");
    AnonymizerFrame record;
    if (frame != nullptr) std::memcpy(&record, frame, sizeof record);
    FrameLayout layout;
    switch (CheckFrame(record, layout)) {
      case FrameCheck::kAccepted:
        break;
      case FrameCheck::kUnsupportedBitCount:
        DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Incorrect Number of Channels!!!");
        return false;
      case FrameCheck::kBadSize:
        DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Not able to convert Image to Matrix!!!");
        return false;
    }
    const cv::Mat caller_picture(layout.rows, layout.columns, CV_8UC(layout.channels), record.pixels);
    cv::Mat working = caller_picture.clone();
    if (layout.channels == 4) {
      cv::cvtColor(working, working, cv::COLOR_BGRA2BGR);
      DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:After color conversion on input image!!!");
    }

    const WorkingSize size = LimitWorkingSize(record, layout);
    DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame: AR = %f, Image Rows = %d , Image Cols = %d", size.aspect_ratio,
                 record.height, record.width);
    if (size.scaled) {
      DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Resizing done to handle high resolution video!!!");
      cv::resize(working, working, cv::Size(kWorkingWidthLimit, size.rows), 0, 0, cv::INTER_LINEAR);
    }

    MaskWorkingPicture(working);

    if (layout.channels == 4) {
      cv::cvtColor(working, working, cv::COLOR_BGR2BGRA);
      DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Loop Outside: convert BGR to BGRA");
    }
    if (size.scaled) {
      cv::resize(working, working, caller_picture.size(), 0, 0, cv::INTER_LINEAR);
      DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Resizing back to original size!!!");
    }
    // CheckFrame made the data size exactly the caller's picture, which the working picture now is.
    const auto data_size = static_cast<std::size_t>(record.data_size);
    CV_Assert(working.isContinuous() && working.total() * working.elemSize() == data_size);
    std::memcpy(record.pixels, working.data, data_size);
    DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Success");
    return true;
  } catch (const std::exception& exception) {
    DebugException("AnonymizerOpenCVBGS::AnonymizeFrame:Exception:", exception);
    return false;
  }
}

void AnonymizerOpenCVBGS::MaskWorkingPicture(cv::Mat& working) {
  const bool grey = IsGreyPicture(working);
  cv::Mat masked = working.clone();
  const int block = PixelationBlockSize(parameters_.pixelBlockSize, working.rows, working.cols, grey);
  const int kernel = BlurKernelSize(parameters_.blurIntensity, working.rows, grey);
  DebugMessage("AnonymizerOpenCVBGS:Masking Type = %d\n", parameters_.maskingType);
  DebugMessage("AnonymizerOpenCVBGS:Algorithm Type = %d\n", parameters_.algorithmType);
  ApplyMaskingType(masked, grey, block, kernel);

  const std::int32_t option =
      parameters_.algorithmType == kMovingOnly || parameters_.algorithmType == kSkinOnly ? parameters_.algorithmType
                                                                                         : kMovingOrSkin;
  ResetModelOnSizeChange(working.size());
  // Skin cannot be told in a black-and-white picture, so all of it is replaced.
  const cv::Mat final_mask = grey ? cv::Mat(working.size(), CV_8UC1, cv::Scalar(255)) : DetectPersons(working, option);
  masked.copyTo(working, final_mask);
  DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Loop Outside: Masked the image");
}

bool AnonymizerOpenCVBGS::IsGreyPicture(const cv::Mat& working) const {
  std::vector<cv::Mat> planes;
  cv::split(working, planes);
  cv::Mat difference;
  cv::absdiff(planes[1], planes[2], difference);
  DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Created IplImage!!!");
  cv::threshold(difference, difference, kColourDifferenceFloor, 255, cv::THRESH_TOZERO);
  DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Thresholding done!!!");
  DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:IplImage to Mat again!!!");
  const double score = cv::sum(difference)[0];
  const std::int64_t pixels = static_cast<std::int64_t>(working.cols) * working.rows;
  const double limit = static_cast<double>(bw_threshold_ * pixels / 100);
  DebugMessage("AnonymizerOpenCVBGS:Diff Mat value = %f, threshold = %f, thresholdPercentage = %d", score, limit,
               bw_threshold_);
  return score < limit;
}

void AnonymizerOpenCVBGS::ApplyMaskingType(cv::Mat& masked, bool grey, int block, int kernel) const {
  switch (parameters_.maskingType) {
    case kBlurred:
      Blur(masked, masked, kernel);
      break;
    case kSolid:
      if (grey) {
        Pixelate(masked, masked, block);
      } else {
        masked.setTo(kSolidFill);
      }
      break;
    case kPixelated:
      Pixelate(masked, masked, block);
      break;
    default:
      break;
  }
}

void AnonymizerOpenCVBGS::ResetModelOnSizeChange(cv::Size working_size) {
  if (foreground_mask_.empty() || foreground_mask_.size() == working_size) return;
  background_model_ = NewBackgroundModel();
  foreground_mask_.release();
  frames_since_reset_ = 0;
  DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Reinitialize after Resolution change detected!!!");
}

void AnonymizerOpenCVBGS::UpdateForeground(const cv::Mat& working) {
  background_model_->apply(working, foreground_mask_, kAutomaticLearningRate);
  // Two erosions drop the speckle the model leaves along edges and in noise.
  const cv::Mat element = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3), cv::Point(1, 1));
  cv::erode(foreground_mask_, foreground_mask_, element, cv::Point(-1, -1), 1);
  cv::erode(foreground_mask_, foreground_mask_, element, cv::Point(-1, -1), 1);
}

cv::Mat AnonymizerOpenCVBGS::DetectPersons(const cv::Mat& working, std::int32_t option) {
  const std::int32_t blur = parameters_.blurIntensity;
  const std::int32_t block = parameters_.pixelBlockSize;
  switch (option) {
    case kMovingOnly: {
      UpdateForeground(working);
      DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Option B: After updating the background model!!!");
      DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Option B: After removing noise from BGS mask!!!");
      DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Option B: Blur Intensity = %d,Pixel Block Size = %d", blur,
                   block);
      // Moving regions alone miss people: the model takes its background from the first picture,
      // so whoever is in it passes unmasked for seconds, and it breaks up a person whose colours
      // come close to the background's. Skin is always masked as well.
      cv::Mat mask = SkinMask(working);
      mask.setTo(255, foreground_mask_ != 0);
      return mask;
    }
    case kSkinOnly: {
      cv::Mat skin = SkinMask(working);
      DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Option C: After detecting skin");
      return skin;
    }
    default: {
      UpdateForeground(working);
      DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Options A: Updated BGS!!!");
      DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Options A: After removing noise from BGS mask!!!");
      DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Blur Intensity = %d,Pixel Block Size = %d", blur, block);
      DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame: Options A: After creating mask");
      cv::Mat mask = SkinMask(working);
      DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Options A: After detecting skin color");
      // The model needs a few pictures to settle; until then it calls most of the scene moving.
      const bool use_foreground = frames_since_reset_ >= kWarmUpFrames;
      if (!use_foreground) ++frames_since_reset_;
      DebugMessage("AnonymizerOpenCVBGS::AnonymizeFrame:Options A: before ORING mask");
      if (use_foreground) mask.setTo(255, foreground_mask_ != 0);
      return mask;
    }
  }
}

}  // namespace moraine::anonymizer
