#pragma once

// The one conversion object of a run: it owns the state that lives as long as the conversion.

#include <cstdint>
#include <string>

namespace moraine {

class Converter {
 public:
  explicit Converter(std::string input_path);
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts the recording at the input path, naming the output after `output_base_name`.
  // Returns 0 once all records were walked, -1 when the input cannot be opened.
  std::int32_t run(const std::string& output_base_name);

  const std::string& input_path() const { return input_path_; }
  const std::string& output_base_name() const { return output_base_name_; }
  // True once a video or parameter-set record carried the privacy marker; never cleared.
  bool privacy_marked() const { return privacy_marked_; }

 private:
  std::string input_path_;
  std::string output_base_name_;
  bool privacy_marked_ = false;
};

}  // namespace moraine
