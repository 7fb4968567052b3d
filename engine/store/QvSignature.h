// An account's two signature texts, "\Data1.txt" and "\Data2.txt" in its
// signature folder: UTF-16LE without byte-order mark or terminator, at most
// 8192 bytes each, rewritten through a "_tmp" copy and the commit. Open
// stores are shared per folder path through a reference-counted cache.
#pragma once

#include <cstdint>
#include <string>

#include "engine/public/store/QvSignatureInterface.h"

class QvSignature {
 public:
  explicit QvSignature(const std::wstring& folder) : folder_(folder) {}

  bool ReadAttributes(QvSignatureInterface::Attributes* attributes);
  bool WriteAttributes(const QvSignatureInterface::Attributes& attributes);
  const std::wstring& Folder() const { return folder_; }

  static constexpr size_t kMaxBytes = 8192;
  static constexpr size_t kMaxUnits = kMaxBytes / 2;

 private:
  uint32_t ReadOne(const std::wstring& file, std::wstring* text);
  uint32_t WriteOne(const std::wstring& file, const std::wstring& text);
  std::wstring FileOf(uint32_t bit) const;

  std::wstring folder_;
};

// The store of a folder path, from the cache or new; null with the error word set.
QvSignature* GetSignature(const std::wstring& folder);
// One reference less; the last one deletes the store.
void ReleaseSignature(QvSignature* signature);
// References held on the store of a folder path (0 when none).
uint32_t SignatureReferences(const std::wstring& folder);
// Makes "\Data1.txt" and "\Data2.txt" empty in `folder`.
bool CreateSignatureFiles(const std::wstring& folder);
// Deletes the files and sub-folders of `folder`, depth first; keeps `folder`.
bool DeleteFolderTree(const std::wstring& folder);
