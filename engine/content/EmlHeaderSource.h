// The header cache's source of list fields, over the mail decoder: the
// stored text of a message is read through the reader the folder gives and
// its header decoded.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/store/QvMailHeaderSource.h"

class EmlHeaderSource : public QvMailHeaderSource {
 public:
  // Reads the stored text of message `id`; false with the cause in the error word.
  using Reader = std::function<bool(uint32_t id, std::string* raw)>;
  explicit EmlHeaderSource(Reader reader);
  bool ReadHeaderFields(uint32_t id, QvMailHeaderFields* out) override;

 private:
  Reader reader_;
};
