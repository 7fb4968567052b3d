// Writes stored messages out as plain mail files, one "EML%05d.eml" file per
// message, into a directory. The program keeps one exporter and drives it from
// a worker thread behind its progress window; `Cancel` may come from another
// thread and stops the run between two messages. A file is written whole or
// not at all: one that could not be written, flushed or closed is deleted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/store/QvMailFileRun.h"

class QvMessageInterface;

class QVMIDDLE_API QvMessageExporter : public QvMailFileRun {
 public:
  QvMessageExporter();
  QvMessageExporter(const QvMessageExporter&) = delete;
  QvMessageExporter& operator=(const QvMessageExporter&) = delete;

  // The messages stay the caller's; they must outlive the run.
  bool SetSource(const std::vector<QvMessageInterface*>& messages);
  bool SetDestination(const std::wstring& directory);
  bool Fire();

 private:
  uint32_t ExportOne(QvMessageInterface* message, uint32_t* counter);
  // The first "EML%05d.eml" name from `*counter` on that does not exist yet.
  std::wstring GetExportFilePath(uint32_t* counter) const;

  std::vector<QvMessageInterface*> source_;
  std::wstring destination_;
};
