#pragma once

// Binding of the three modules every conversion needs: the video decoder Tarn, the video encoder
// Fell and the audio decoder Brook, loaded by file name and reached only through their entry points.

#include <optional>
#include <string>

#include "brook/audio_decoder.h"
#include "fell/fell_exports.h"
#include "platform/module_loader.h"
#include "tarn/tarn_exports.h"

namespace moraine {

struct TarnEntryPoints {
  TarnCreateFunction create = nullptr;
  TarnDecodeVideoFrameFunction decode_video_frame = nullptr;
  TarnGetDecodedVideoFrameFunction get_decoded_video_frame = nullptr;
  TarnCloseFunction close = nullptr;
};

struct FellEntryPoints {
  FellCreateFunction create = nullptr;
  FellEncodeVideoFrameFunction encode_video_frame = nullptr;
  FellGetEncodedVideoFrameFunction get_encoded_video_frame = nullptr;
  FellCloseFunction close = nullptr;
};

struct BrookEntryPoints {
  BrookCreateDecoderFunction create_decoder = nullptr;
  BrookDestroyDecoderFunction destroy_decoder = nullptr;  // optional: called only when present
};

// The file of each module; a name without a folder is looked for beside the program first.
struct MediaModuleFiles {
  std::string tarn = platform::ModuleFileName("Tarn");
  std::string fell = platform::ModuleFileName("Fell");
  std::string brook = platform::ModuleFileName("Brook");
};

// The three loaded modules and their entry points; unloading happens on destruction (Brook first).
class MediaModules {
 public:
  // Loads Tarn, Fell and Brook in this order, then takes the entry points of Fell, Tarn and Brook.
  // A module that is missing or lacks an entry point the conversion calls is refused: the reason
  // goes to standard error, the modules loaded so far are unloaded and the result is nullopt.
  static std::optional<MediaModules> Bind(const MediaModuleFiles& files);

  const TarnEntryPoints& tarn() const { return tarn_; }
  const FellEntryPoints& fell() const { return fell_; }
  const BrookEntryPoints& brook() const { return brook_; }

 private:
  MediaModules(platform::LoadedModule tarn, platform::LoadedModule fell, platform::LoadedModule brook);

  // Declared in load order, so destruction unloads Brook, then Fell, then Tarn.
  platform::LoadedModule tarn_module_;
  platform::LoadedModule fell_module_;
  platform::LoadedModule brook_module_;
  TarnEntryPoints tarn_;
  FellEntryPoints fell_;
  BrookEntryPoints brook_;
};

}  // namespace moraine
