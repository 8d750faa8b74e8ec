// An ordered list of playlist entries, indexed from 0.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jarvet {

class TPlaylist {
 public:
  void Add(std::string entry) { Items_.push_back(std::move(entry)); }
  std::int64_t Count() const { return static_cast<std::int64_t>(Items_.size()); }
  // Raises EStringListError for an index outside the list.
  const std::string& Get(std::int64_t index) const;

 private:
  std::vector<std::string> Items_;
};

}  // namespace jarvet
