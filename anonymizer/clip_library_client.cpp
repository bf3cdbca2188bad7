#include "anonymizer/clip_library_client.h"

#include <cstdint>

#include "anonymizer/clip_anonymization.h"
#include "anonymizer/module_diagnostics.h"
#include "platform/module_loader.h"

namespace moraine::anonymizer {
namespace {

struct ClipLibrary {
  platform::LoadedModule module{platform::ModuleFileName(kClipLibraryName)};
  decltype(&::AnonymizeClipPictures) anonymize_pictures =
      module.EntryPoint<decltype(anonymize_pictures)>("AnonymizeClipPictures");
};

const ClipLibrary& LoadedClipLibrary() {
  static const ClipLibrary library;
  return library;
}

// Runs the anonymizer on the picture in place, describing it as a bottom-up bitmap of its own size.
bool AnonymizePicture(void* anonymizer, std::uint8_t* pixels, std::int32_t columns, std::int32_t rows,
                      std::int32_t channels) {
  BitmapInfoHeader header;
  header.biWidth = columns;
  header.biHeight = rows;
  header.biBitCount = static_cast<std::uint16_t>(8 * channels);
  const AnonymizerFrame record = PackedFrameRecord(pixels, header);
  // The clip library is called through C entry points, so no exception may pass through it.
  try {
    return static_cast<IAnonymizer*>(anonymizer)->AnonymizeFrame(&record);
  } catch (...) {
    return false;
  }
}

}  // namespace

bool AnonymizeClipFile(IAnonymizer& anonymizer, const char* input, const char* output) {
  const ClipLibrary& library = LoadedClipLibrary();
  if (library.anonymize_pictures == nullptr) {
    DebugMessage("AnonymizerOpenCVBGS::AnonymizeClip:ERROR! Unable to load %s: %s",
                 platform::ModuleFileName(kClipLibraryName).c_str(),
                 library.module.IsLoaded() ? "no entry point AnonymizeClipPictures" : library.module.Error().c_str());
    return false;
  }
  return library.anonymize_pictures(input, output, AnonymizePicture, &anonymizer);
}

}  // namespace moraine::anonymizer
