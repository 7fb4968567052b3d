#include "engine/public/transport/ProtocolLog.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/base/WideText.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Time.h"

namespace {

constexpr char kDefaultPath[] = "\\Application Data\\QuvoMail\\QvMailLog.txt";
constexpr unsigned int kMaxWrite = 2048;
constexpr char kRule[] = "--------------------------------------------------\r\n";
constexpr char kHidden[] = "********";

bool StartsNoCase(const std::string& line, const char* word) {
  const size_t n = std::strlen(word);
  if (line.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(line[i])) != std::tolower(static_cast<unsigned char>(word[i])))
      return false;
  }
  return true;
}

// The line's end ("\r\n", "\n" or nothing), kept as it was.
std::string LineEnd(const std::string& line) {
  if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) return "\r\n";
  if (!line.empty() && line.back() == '\n') return "\n";
  return "";
}

// One line a client sent, with its secret part hidden.
std::string MaskCommand(const std::string& line, bool challenged) {
  const std::string end = LineEnd(line);
  if (challenged) return kHidden + end;
  if (StartsNoCase(line, "PASS ")) return line.substr(0, 5) + kHidden + end;
  if (StartsNoCase(line, "APOP ")) {
    // "APOP user digest": the digest stands for the password.
    const size_t blank = line.find(' ', 5);
    return blank == std::string::npos ? line.substr(0, 5) + kHidden + end : line.substr(0, blank + 1) + kHidden + end;
  }
  if (StartsNoCase(line, "AUTH ")) {
    const size_t blank = line.find(' ', 5);
    const std::string body = line.substr(0, line.size() - end.size());
    if (blank != std::string::npos && blank + 1 < body.size()) return line.substr(0, blank + 1) + kHidden + end;
  }
  return line;
}

}  // namespace

ProtocolLog::ProtocolLog() {
  const std::wstring wide = qv::Utf8ToWide(kDefaultPath).substr(0, 64);
  if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) {
    enabled_ = true;
    path_ = kDefaultPath;
    mode_ = "ab";
  }
}

ProtocolLog::ProtocolLog(const std::string& path, std::string mode) : path_(path), mode_(std::move(mode)), enabled_(true) {}

ProtocolLog::~ProtocolLog() {
  if (markerPending_) writeMarker(markerCount_);
  close();
}

void ProtocolLog::open() {
  if (!stream_) stream_ = qv_fopen(path_.c_str(), mode_.c_str());
}

void ProtocolLog::close() {
  if (stream_) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
}

unsigned int ProtocolLog::start(const void* title, unsigned int length) {
  if (!enabled_) return 0;
  if (std::exchange(markerPending_, false)) writeMarker(markerCount_);
  open();
  if (!stream_) return 0;
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, " [%4d/%02d/%02d %02d:%02d:%02d] ***\r\n", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond);
  std::fputs(kRule, stream_);
  const bool written = !title || length == 0 || std::fwrite(title, 1, length, stream_) == length;
  std::fputs(stamp, stream_);
  std::fputs(kRule, stream_);
  next_ = Direction::Unknown;
  challenged_ = false;
  close();
  return written && title ? 1 : 0;
}

unsigned int ProtocolLog::write(const void* data, unsigned int length) {
  if (!enabled_) return 0;
  const Direction direction = next_;
  next_ = Direction::Unknown;
  const bool marker = std::exchange(markerPending_, false);
  if (!data) {
    if (marker) writeMarker(markerCount_);
    return 0;
  }
  std::string text(static_cast<const char*>(data), std::min(length, kMaxWrite));
  const size_t given = text.size();
  if (direction == Direction::In) {
    challenged_ = text.compare(0, 3, "334") == 0;
  } else {
    // What a client sends (or anything not marked as a response) is checked
    // line by line for credentials.
    std::string masked;
    size_t pos = 0;
    while (pos < text.size()) {
      size_t eol = text.find('\n', pos);
      eol = eol == std::string::npos ? text.size() : eol + 1;
      masked += MaskCommand(text.substr(pos, eol - pos), direction == Direction::Out && challenged_);
      pos = eol;
    }
    if (direction == Direction::Out) challenged_ = false;
    text.swap(masked);
  }
  if (marker) writeMarker(markerCount_ + static_cast<long>(text.size()) - static_cast<long>(given));
  open();
  if (!stream_) return 0;
  const bool ok = std::fwrite(text.data(), 1, text.size(), stream_) == text.size();
  close();
  return ok ? 1 : 0;
}

void ProtocolLog::writeMarker(long count) {
  char marker[32];
  const int n = std::snprintf(marker, sizeof marker, "-[OUT(%02ld)]", count);
  open();
  if (!stream_) return;
  std::fwrite(marker, 1, static_cast<size_t>(n), stream_);
  close();
}

int ProtocolLog::write_free(const char* format, ...) {
  if (!enabled_ || !format) return 0;
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::vector<char> text(needed > 0 ? static_cast<size_t>(needed) + 1 : 1);
  if (needed > 0) std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  if (needed <= 0) return 0;
  if (markerPending_) {
    markerPending_ = false;
    writeMarker(markerCount_);
  }
  if (std::strncmp(format, "-[OUT(", 6) == 0) {
    // Written with its line, once the line is masked.
    next_ = Direction::Out;
    markerPending_ = true;
    markerCount_ = std::strtol(text.data() + 6, nullptr, 10);
    return needed;
  }
  if (std::strncmp(format, "-[OUT", 5) == 0) {
    next_ = Direction::Out;
  } else if (std::strncmp(format, "-[IN", 4) == 0) {
    next_ = Direction::In;
  } else {
    next_ = Direction::Unknown;
  }
  open();
  if (!stream_) return 0;
  const size_t written = std::fwrite(text.data(), 1, static_cast<size_t>(needed), stream_);
  close();
  return static_cast<int>(written);
}
