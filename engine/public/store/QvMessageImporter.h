// Reads plain mail files and stores each as a new unread message of kind 4
// in a folder. Like the exporter it is kept by the program, run on a worker
// thread and cancelled between two files from another. A file is decoded
// before anything is stored; a message half stored is removed again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/store/QvMailFileRun.h"

class QvFolderInterface;

class QVMIDDLE_API QvMessageImporter : public QvMailFileRun {
 public:
  QvMessageImporter();
  QvMessageImporter(const QvMessageImporter&) = delete;
  QvMessageImporter& operator=(const QvMessageImporter&) = delete;

  bool SetSource(const std::vector<std::wstring>& paths);
  // The folder stays the caller's; it must outlive the run.
  bool SetDestination(QvFolderInterface* folder);
  bool Fire(int* unused);

  // The largest raw mail a stored message can hold: its file's size is a
  // 32-bit value, 0xFFFFFFFF meaning failure, and starts with the header.
  static const uint64_t kLargestMail;

 private:
  uint32_t ImportOne(const std::wstring& path);

  std::vector<std::wstring> source_;
  QvFolderInterface* folder_ = nullptr;
};
