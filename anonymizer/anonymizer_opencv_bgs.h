#pragma once

// The OpenCV anonymizer: moving regions from a Gaussian-mixture background model and skin-coloured
// regions from a colour rule are replaced by a blurred, pixelated or solid version of the picture.
// Pictures with almost no colour are replaced as a whole.

#include <cstdint>

#include <opencv2/core.hpp>
#include <opencv2/video/background_segm.hpp>

#include "anonymizer/ianonymizer.h"

namespace moraine::anonymizer {

class AnonymizerOpenCVBGS final : public IAnonymizer {
 public:
  // A new object; it owns itself and is destroyed by Release. Throws what OpenCV throws.
  static IAnonymizer* Create();

  bool AnonymizeFrame(const AnonymizerFrame* frame) override;
  bool AnonymizeClip(const char* input, const char* output) override;
  AnonymizationParameters GetAnonymizationParameters() override;
  bool SetAnonymizationParameters(AnonymizationParameters parameters) override;
  void Release() override;

 private:
  AnonymizerOpenCVBGS();
  ~AnonymizerOpenCVBGS();

  // Steps of AnonymizeFrame on the 3-channel working picture.
  bool IsGreyPicture(const cv::Mat& working) const;
  void ApplyMaskingType(cv::Mat& masked, bool grey, int block, int kernel) const;
  void ResetModelOnSizeChange(cv::Size working_size);
  void UpdateForeground(const cv::Mat& working);
  cv::Mat DetectPersons(const cv::Mat& working, std::int32_t option);
  void MaskWorkingPicture(cv::Mat& working);

  cv::Mat foreground_mask_;  // the background model's last output after noise removal
  cv::Ptr<cv::BackgroundSubtractorMOG2> background_model_;
  AnonymizationParameters parameters_;
  std::int32_t frames_since_reset_ = 0;  // option-A colour pictures since the model was made, up to 5
  std::int32_t bw_threshold_ = 1;        // percentage, from the registry
};

}  // namespace moraine::anonymizer
