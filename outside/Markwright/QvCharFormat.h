// A character format as the program hands it to the control (message 0x500)
// and reads it back from the format report (notification 4). The layout is
// what the program's compiled accessors read, so it never changes: size,
// composition, two spare bytes, attribute word, colour, link text.
#pragma once

#include <cstdint>

#include "outside/Markwright/MarkwrightExport.h"
#include "platform/base/WinTypes.h"

// Attribute bits of the attribute word, and the same bits as the mask of
// message 0x500 (which also uses 1 and 2 for the size, 64 for the link and
// 256 for the colour).
#define QVCF_SIZE_PAD 0x0001u
#define QVCF_SIZE 0x0002u
#define QVCF_BOLD 0x0004u
#define QVCF_ITALIC 0x0008u
#define QVCF_UNDERLINE 0x0010u
#define QVCF_STRIKEOUT 0x0020u
#define QVCF_LINK 0x0040u
#define QVCF_BLINK 0x0080u
#define QVCF_COLOR 0x0100u

class MARKWRIGHT_API QvCharFormat {
 public:
  QvCharFormat() = default;

  void SetFontSize(int size) { size_ = static_cast<uint8_t>(size); }
  int GetFontSize() const { return size_; }
  void SetComposition(unsigned char composition) { composition_ = composition; }
  unsigned char GetComposition() const { return composition_; }
  void SetColorRef(unsigned long color) { color_ = static_cast<uint32_t>(color); }
  unsigned long GetColorRef() const { return color_; }
  unsigned long GetAttribute() const { return attribute_; }
  const wchar_t* GetHyperLink() const { return link_; }
  QvCharFormat& operator=(const QvCharFormat& other) = default;
  QvCharFormat(const QvCharFormat& other) = default;

  // The control's own fill-ins (the program only reads these).
  void SetAttribute(unsigned long attribute) { attribute_ = static_cast<uint32_t>(attribute); }
  void SetHyperLink(const wchar_t* link) { link_ = link; }

 private:
  uint8_t size_ = 3;
  uint8_t composition_ = 0;
  [[maybe_unused]] uint8_t spare_[2] = {0, 0};  // kept for the layout the program reads
  uint32_t attribute_ = 0;
  uint32_t color_ = 0;
  const wchar_t* link_ = nullptr;
};
