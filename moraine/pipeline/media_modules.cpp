#include "moraine/pipeline/media_modules.h"

#include <cstdio>
#include <utility>

namespace moraine {
namespace {

std::optional<platform::LoadedModule> Load(const std::string& file) {
  platform::LoadedModule module(file);
  if (module.IsLoaded()) return module;
  std::fprintf(stderr, "error: cannot load the module %s: %s\n", file.c_str(), module.Error().c_str());
  return std::nullopt;
}

// Looks `name` up in `module`; a missing entry point is reported and leaves `entry` null.
template <typename Function>
bool Take(const platform::LoadedModule& module, const std::string& file, const char* name, Function& entry) {
  entry = module.EntryPoint<Function>(name);
  if (entry != nullptr) return true;
  std::fprintf(stderr, "error: the module %s lacks the entry point %s\n", file.c_str(), name);
  return false;
}

}  // namespace

MediaModules::MediaModules(platform::LoadedModule tarn, platform::LoadedModule fell, platform::LoadedModule brook)
    : tarn_module_(std::move(tarn)), fell_module_(std::move(fell)), brook_module_(std::move(brook)) {}

std::optional<MediaModules> MediaModules::Bind(const MediaModuleFiles& files) {
  std::optional<platform::LoadedModule> tarn = Load(files.tarn);
  if (!tarn) return std::nullopt;
  std::optional<platform::LoadedModule> fell = Load(files.fell);
  if (!fell) return std::nullopt;
  std::optional<platform::LoadedModule> brook = Load(files.brook);
  if (!brook) return std::nullopt;

  MediaModules modules(std::move(*tarn), std::move(*fell), std::move(*brook));
  // The conversion calls every entry point below without checking it again; only DestroyDecoder
  // may be missing (the decoder object is then left to the module).
  bool complete = Take(modules.fell_module_, files.fell, "FellCreate", modules.fell_.create);
  complete &= Take(modules.fell_module_, files.fell, "FellEncodeVideoFrame", modules.fell_.encode_video_frame);
  complete &= Take(modules.fell_module_, files.fell, "FellGetEncodedVideoFrame", modules.fell_.get_encoded_video_frame);
  complete &= Take(modules.fell_module_, files.fell, "FellClose", modules.fell_.close);
  complete &= Take(modules.tarn_module_, files.tarn, "TarnCreate", modules.tarn_.create);
  complete &= Take(modules.tarn_module_, files.tarn, "TarnDecodeVideoFrame", modules.tarn_.decode_video_frame);
  complete &= Take(modules.tarn_module_, files.tarn, "TarnGetDecodedVideoFrame", modules.tarn_.get_decoded_video_frame);
  complete &= Take(modules.tarn_module_, files.tarn, "TarnClose", modules.tarn_.close);
  complete &= Take(modules.brook_module_, files.brook, kBrookCreateDecoderName, modules.brook_.create_decoder);
  modules.brook_.destroy_decoder =
      modules.brook_module_.EntryPoint<BrookDestroyDecoderFunction>(kBrookDestroyDecoderName);
  if (!complete) return std::nullopt;
  return modules;
}

}  // namespace moraine
