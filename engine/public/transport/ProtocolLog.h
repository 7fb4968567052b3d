// The protocol log of the POP3, SMTP and feed clients: one text file on the
// device, "\Application Data\QuvoMail\QvMailLog.txt", written only when it
// already exists when the log object is made. Each write opens, appends and
// closes the file, so two clients may share it.
//
// Credentials never reach the file: the argument of "PASS" and "APOP", the
// initial answer of "AUTH <mechanism> <answer>" and every line a client sends
// in answer to a "334" challenge (AUTH LOGIN user and password, CRAM-MD5) are
// written as "********", and the byte count before a line is that of the line
// as written. The clients write their lines as
//   write_free("-[OUT(%02d)]", length); write(command, length);
//   write_free("-[IN (%02d)]", length); write(response, length);
#pragma once

#include <cstdio>
#include <string>

#include "engine/public/QvMiddleExport.h"

class QVMIDDLE_API ProtocolLog {
 public:
  ProtocolLog();
  ProtocolLog(const std::string& path, std::string mode);
  ~ProtocolLog();
  ProtocolLog(const ProtocolLog&) = delete;
  ProtocolLog& operator=(const ProtocolLog&) = delete;

  // The session header: a line of 50 hyphens, the title as given, the local
  // time " [yyyy/mm/dd hh:mm:ss] ***\r\n", the hyphens again. 1 when the
  // title was written, else 0.
  unsigned int start(const void* title, unsigned int length);
  // At most the first 2048 bytes of data; 1 when written, else 0.
  unsigned int write(const void* data, unsigned int length);
  // printf-style text; the number of characters written, or 0.
  int write_free(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  void open();
  void close();
  void writeMarker(long count);
  // What the next write carries, as the last marker line said.
  enum class Direction { Unknown, Out, In };

  std::string path_;
  std::string mode_;
  FILE* stream_ = nullptr;
  bool enabled_ = false;
  Direction next_ = Direction::Unknown;
  // An "-[OUT(n)]" marker waits for its line: n becomes the byte count of
  // the line as written, so a hidden credential's length never shows.
  bool markerPending_ = false;
  long markerCount_ = 0;
  bool challenged_ = false;  // the last response was a "334" challenge
};
