#include "app/mailops/ImportExportOperations.h"

#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include "app/foundation/FileChoosers.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/UiRegistry.h"
#include "app/mailops/BackgroundTasks.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/MailTaskState.h"
#include "app/mailops/NotifySinks.h"
#include "app/mailops/RunWithProgress.h"
#include "app/mailops/TaskAccount.h"
#include "app/mailops/WindowRegistry.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageExporter.h"
#include "engine/public/store/QvMessageImporter.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "platform/base/WinFormat.h"

namespace {

std::mutex& FailuresLock() {
  static std::mutex lock;
  return lock;
}

std::vector<ImportFailure>& Failures() {
  static std::vector<ImportFailure> failures;
  return failures;
}

// The engine's word, never a success when something failed.
uint32_t FailureCode(uint32_t code, uint32_t fallback) {
  return code == QVMDL_SUCCESS || code == 0 ? fallback : code;
}

// Codes after which the files still to come would fail the same way.
bool StopsTheImport(uint32_t code) {
  switch (code) {
    case QVMDL_ERR_IMP_CANCELLED:
    case QVMDL_ERR_IMP_DISK_FULL:
    case QVMDL_ERR_STG_DISK_FULL:
    case QVMDL_ERR_STG_FOLDER_FULL:
    case QVMDL_ERR_STG_HEADER_FULL:
      return true;
    default:
      return false;
  }
}

// The running-import mark holds the importer from the claim to the end of
// the run; on every way out the mark goes first, then the importer, so a
// cancel from the UI thread never meets a deleted one.
class ClaimedImporter {
 public:
  explicit ClaimedImporter(QvMessageImporter* importer) : importer_(importer) {}
  ~ClaimedImporter() {
    SetRunningImporter(nullptr);
    delete importer_;
  }
  ClaimedImporter(const ClaimedImporter&) = delete;
  ClaimedImporter& operator=(const ClaimedImporter&) = delete;
  QvMessageImporter* operator->() const { return importer_; }

 private:
  QvMessageImporter* importer_;
};

class ClaimedExporter {
 public:
  explicit ClaimedExporter(QvMessageExporter* exporter) : exporter_(exporter) {}
  ~ClaimedExporter() {
    SetRunningExporter(nullptr);
    delete exporter_;
  }
  ClaimedExporter(const ClaimedExporter&) = delete;
  ClaimedExporter& operator=(const ClaimedExporter&) = delete;
  QvMessageExporter* operator->() const { return exporter_; }

 private:
  QvMessageExporter* exporter_;
};

// One import may take several engine runs (a run stops at a file it cannot
// take); the progress window sees them as one: one start, one count over
// all files, and a file set aside counts as handled.
class ImportProgress : public QvMailFileRun::Notification {
 public:
  ImportProgress(HWND owner, uint32_t total) : sink_(owner), total_(total) {}
  void Start(uint32_t) override {
    if (started_) return;
    started_ = true;
    sink_.Start(total_);
  }
  void Progress(uint32_t done) override {
    doneInRun_ = done;
    sink_.Progress(base_ + done);
  }
  void End(uint32_t) override {}

  // Before each run: where in the whole list it starts.
  void BeginRun(uint32_t base) {
    base_ = base;
    doneInRun_ = 0;
  }
  uint32_t DoneInRun() const { return doneInRun_; }
  void SetAside() { sink_.Progress(++base_ + doneInRun_); }
  void Finish() { sink_.End(0); }

 private:
  QvImportNotifySink sink_;
  uint32_t total_;
  uint32_t base_ = 0;
  uint32_t doneInRun_ = 0;
  bool started_ = false;
};

constexpr const wchar_t* kDefaultImportFolder = L"\\My Documents";
constexpr UINT kStringFilesSetAside = 20245;
// So many names fit a box on the screen; the rest are counted.
constexpr size_t kNamesShown = 10;

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return path;
  return slash == 0 ? std::wstring(L"\\") : path.substr(0, slash);
}

std::wstring NameOf(const std::wstring& path) {
  const size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The box that names the files an import set aside.
void ShowFilesSetAside(CWnd* parent, const std::vector<ImportFailure>& failures) {
  if (failures.empty()) return;
  std::wstring names;
  for (size_t i = 0; i < failures.size() && i < kNamesShown; ++i) names += L"\n" + NameOf(failures[i].path);
  if (failures.size() > kNamesShown) names += qv::FormatW(L"\n(ほか %d 件)", static_cast<int>(failures.size() - kNamesShown));
  const CString format = LoadResString(kStringFilesSetAside);
  const std::wstring text = qv::FormatW(format.GetString(), names.substr(1).c_str());
  ShowErrorBox(parent != nullptr ? parent->GetSafeHwnd() : GetMainWindowHandle(), text.c_str());
}

}  // namespace

void ImportMessagesToFolder(CWnd* parent, DWORD folderId) {
  CString start;
  if (!GetLastImportDir(start) || start.IsEmpty()) start = kDefaultImportFolder;
  std::vector<std::wstring> chosen;
  const HWND owner = parent != nullptr ? parent->GetSafeHwnd() : GetMainWindowHandle();
  if (!SelectImportFiles(owner, start.GetString(), &chosen, kImportFileLimit) || chosen.empty()) return;
  SetLastImportDir(FolderOf(chosen.front()).c_str());
  TakeImportFailures();
  // The entry shows the notice or the engine's error; the files set aside
  // are named after it, whatever the run's outcome.
  ImportMessagesWithProgress(parent, folderId, std::list<std::wstring>(chosen.begin(), chosen.end()));
  ShowFilesSetAside(parent, TakeImportFailures());
}

bool ImportMessages(DWORD folderId, const std::list<std::wstring>& files, HWND owner, uint32_t* code) {
  uint32_t ignored = 0;
  if (code == nullptr) code = &ignored;
  *code = 0;
  {
    std::lock_guard<std::mutex> hold(FailuresLock());
    Failures().clear();
  }
  auto* importer = new (std::nothrow) QvMessageImporter;
  if (importer == nullptr) {
    *code = kErrorNoImporter;
    return false;
  }
  if (!ClaimRunningImporter(importer)) {
    delete importer;
    return false;
  }
  ClaimedImporter claimed(importer);
  SetCurrentOperationId(kOperationImport);

  TaskAccountObjects objects;
  std::unique_ptr<QvFolderInterface> destination;
  if (objects.Open(RunningTaskAccountName())) destination.reset(objects.Storage()->OpenFolder(folderId));
  if (!destination) {
    *code = FailureCode(GetQvMiddleError(), QVMDL_ERR_IMP_NO_DESTINATION);
    return false;
  }

  const std::vector<std::wstring> paths(files.begin(), files.end());
  ImportProgress progress(owner, static_cast<uint32_t>(paths.size()));
  std::vector<ImportFailure> failures;
  uint32_t stopCode = 0;
  size_t next = 0;
  int unused = 0;
  if (!claimed->SetDestination(destination.get()) || !claimed->RegisterNotification(&progress)) {
    stopCode = FailureCode(claimed->GetErrorInfo(), QVMDL_ERR_IMP_NO_DESTINATION);
    next = paths.size();
  }
  while (next < paths.size()) {
    if (IsImportCancelRequested()) {
      stopCode = QVMDL_ERR_IMP_CANCELLED;
      break;
    }
    const std::vector<std::wstring> rest(paths.begin() + static_cast<std::ptrdiff_t>(next), paths.end());
    progress.BeginRun(static_cast<uint32_t>(next));
    if (!claimed->SetSource(rest)) {
      stopCode = FailureCode(claimed->GetErrorInfo(), QVMDL_ERR_IMP_EMPTY_PATH);
      break;
    }
    if (claimed->Fire(&unused)) break;
    const uint32_t failed = FailureCode(claimed->GetErrorInfo(), QVMDL_ERR_IMP_READ);
    // A cancel may land between two runs, where the engine forgets it.
    if (StopsTheImport(failed) || IsImportCancelRequested()) {
      stopCode = StopsTheImport(failed) ? failed : QVMDL_ERR_IMP_CANCELLED;
      break;
    }
    next += progress.DoneInRun();
    failures.push_back({paths[next], failed});
    progress.SetAside();
    ++next;
  }
  progress.Finish();

  const size_t imported = paths.size() - failures.size();
  if (stopCode != 0) {
    *code = stopCode;
  } else if (!failures.empty()) {
    // The first file's reason names the import when it failed as a whole.
    *code = failures.front().code;
  }
  {
    std::lock_guard<std::mutex> hold(FailuresLock());
    Failures() = failures;
  }
  destination.reset();
  BroadcastFolderAndRootRefresh(folderId);
  return stopCode == 0 && imported > 0;
}

std::vector<ImportFailure> TakeImportFailures() {
  std::lock_guard<std::mutex> hold(FailuresLock());
  return std::exchange(Failures(), {});
}

bool ExportMessages(const std::vector<unsigned long>& ids, const std::wstring& folder, HWND owner, uint32_t* code) {
  uint32_t ignored = 0;
  if (code == nullptr) code = &ignored;
  *code = 0;
  if (ids.empty()) return false;
  auto* exporter = new (std::nothrow) QvMessageExporter;
  if (exporter == nullptr) {
    *code = kErrorNoExporter;
    return false;
  }
  if (!ClaimRunningExporter(exporter)) {
    delete exporter;
    return false;
  }
  ClaimedExporter claimed(exporter);

  TaskAccountObjects objects;
  if (!objects.Open(RunningTaskAccountName())) {
    *code = FailureCode(GetQvMiddleError(), QVMDL_ERR_STG_NULL_ARGUMENT);
    return false;
  }
  // Every message is opened before the first file is written: an id gone
  // from the store fails the export with nothing written.
  std::vector<std::unique_ptr<QvMessageInterface>> opened;
  std::vector<QvMessageInterface*> messages;
  opened.reserve(ids.size());
  for (unsigned long id : ids) {
    opened.emplace_back(objects.Storage()->OpenMessage(id));
    if (!opened.back()) {
      *code = FailureCode(objects.Storage()->GetErrorInfo(), QVMDL_ERR_STG_NULL_ARGUMENT);
      return false;
    }
    messages.push_back(opened.back().get());
  }
  QvExportNotifySink sink(owner);
  const bool ok = claimed->RegisterNotification(&sink) && claimed->SetSource(messages) &&
                  claimed->SetDestination(folder) && claimed->Fire();
  // Read while the exporter is still there.
  if (!ok) *code = FailureCode(claimed->GetErrorInfo(), QVMDL_ERR_EXP_WRITE);
  return ok;
}

void InstallImportExportOperations() {
  MailTaskOperations operations = GetMailTaskOperations();
  operations.importMessages = &ImportMessages;
  operations.exportMessages = &ExportMessages;
  SetMailTaskOperations(std::move(operations));
}
