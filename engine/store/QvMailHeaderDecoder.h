// The header-cache rebuild's source over stored mail: each message's raw text
// (which the folder reads through itself) decoded by the MIME parser into the
// fields a header record keeps.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/store/QvMailHeaderSource.h"

class QvMailHeaderDecoder : public QvMailHeaderSource {
 public:
  // Gives the raw mail of a stored message; false with the cause in the error word.
  using RawReader = std::function<bool(uint32_t id, std::string* raw)>;

  explicit QvMailHeaderDecoder(RawReader reader) : reader_(std::move(reader)) {}

  bool ReadHeaderFields(uint32_t id, QvMailHeaderFields* out) override;

  // The fields of one raw mail: the address part of the first To entry, the
  // sender's address and name, the subject and the date as decoded.
  static bool DecodeFields(const std::string& raw, QvMailHeaderFields* out);

 private:
  RawReader reader_;
};
