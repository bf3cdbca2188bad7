#pragma once

// The converter's binding of the Anonymizer module: its four entry points, the loaded module and the
// anonymizer object. The module is optional: without it privacy-marked pictures are masked by the
// built-in mosaic instead.

#include <optional>
#include <string>

#include "moraine/privacy/anonymizer_interface.h"
#include "platform/module_loader.h"

namespace moraine {

class ObjectPixelator {
 public:
  ObjectPixelator() = default;
  // Releases the binding and unloads the module whatever state it is in.
  ~ObjectPixelator();
  ObjectPixelator(const ObjectPixelator&) = delete;
  ObjectPixelator& operator=(const ObjectPixelator&) = delete;

  // Loads `module_file`, takes GetAnonymizerObjPtr, AnonymizeFrame, SetAnonymizationParameters and
  // ReleaseAnonymizerObjPtr, and when all four exist creates the object (library 0, type 0) and
  // sends it the starting parameters. Does nothing while an object exists. Never fails the caller:
  // a missing module, a missing entry point or no object leave HasAnonymizer() false (an
  // incomplete module stays loaded until the next Bind or destruction).
  void Bind(const std::string& module_file);

  // With an object: releases it through the module and unloads the module. Without one: nothing.
  void Release();

  bool HasAnonymizer() const { return anonymizer_ != nullptr; }
  // Why there is no object, for the user: "module not loaded" before any Bind, then "module not
  // found", "entry point X missing" or "no anonymizer object"; empty with an object.
  const std::string& UnavailableReason() const { return unavailable_reason_; }

  // Passes `parameters` to the object (the module copies them). False without an object.
  bool SetParameters(const AnonymizationParameters& parameters);
  // Lets the module mask the picture that `frame` describes in place. False without an object, when
  // the module refuses the picture or when an exception escapes it.
  bool AnonymizeFrame(AnonymizerFrame& frame);

  // The record sent right after the object is created.
  static AnonymizationParameters StartingParameters();

 private:
  GetAnonymizerObjPtrFunction get_object_ = nullptr;
  AnonymizeFrameFunction anonymize_frame_ = nullptr;
  SetAnonymizationParametersFunction set_parameters_ = nullptr;
  ReleaseAnonymizerObjPtrFunction release_object_ = nullptr;
  std::optional<platform::LoadedModule> module_;
  AnonymizerObject* anonymizer_ = nullptr;
  std::string unavailable_reason_ = "module not loaded";
};

}  // namespace moraine
