#include "engine/store/QvClassificationParamSet.h"

#include <cstdio>
#include <new>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/store/QvClassificationParam.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WideText.h"
#include "platform/kernel/Files.h"

namespace {

// Empties `folder` depth first. The first failure's code is kept while the
// walk goes on.
uint32_t EmptyFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    // An empty folder has nothing to delete; only one that cannot be searched fails.
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES ? QVMDL_SUCCESS : QVMDL_ERR_CLS_FIND_FOLDER;
  }
  uint32_t result = QVMDL_SUCCESS;
  do {
    const std::wstring path = folder + L"\\" + data.cFileName;
    uint32_t code = QVMDL_SUCCESS;
    // Any folder, whatever other attributes it carries, is emptied and
    // removed: deleting it as a file could never succeed.
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      code = EmptyFolder(path);
      if (!RemoveDirectoryW(path.c_str()) && code == QVMDL_SUCCESS) code = QVMDL_ERR_CLS_REMOVE_FOLDER;
    } else if (!DeleteFileW(path.c_str())) {
      code = QVMDL_ERR_CLS_DELETE_FILE;
    }
    if (result == QVMDL_SUCCESS) result = code;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return result;
}

}  // namespace

QvClassificationParamSet::QvClassificationParamSet() : mutex_(kMutexName) {}

QvClassificationParamSet& QvClassificationParamSet::Instance() {
  static QvClassificationParamSet set;
  return set;
}

QvClassificationParam* QvClassificationParamSet::Open(const std::wstring& folder) {
  QvNamedMutex::Hold hold(mutex_);
  try {
    auto [it, inserted] = entries_.try_emplace(qv::FoldCase(folder));
    if (inserted) {
      it->second.param.reset(new (std::nothrow) QvClassificationParam(folder));
      if (!it->second.param) {
        entries_.erase(it);
        SetQvMiddleError(QVMDL_ERR_CLS_NOT_ENOUGH_MEMORY);
        return nullptr;
      }
    }
    ++it->second.references;
    return it->second.param.get();
  } catch (const std::bad_alloc&) {
    SetQvMiddleError(QVMDL_ERR_CLS_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

bool QvClassificationParamSet::Close(QvClassificationParam* param) {
  QvNamedMutex::Hold hold(mutex_);
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->second.param.get() != param) continue;
    if (--it->second.references == 0) entries_.erase(it);
    return true;
  }
  SetQvMiddleError(QVMDL_ERR_CLS_NOT_OPEN);
  return false;
}

uint32_t QvClassificationParamSet::References(const std::wstring& folder) {
  QvNamedMutex::Hold hold(mutex_);
  auto it = entries_.find(qv::FoldCase(folder));
  return it == entries_.end() ? 0 : it->second.references;
}

bool QvClassificationParamSet::Create(const std::wstring& folder) {
  QvNamedMutex mutex(QvClassificationParam::kMutexName);
  QvNamedMutex::Hold hold(mutex);
  qv::ScopedFile stream(_wfopen(QvClassificationParam::RuleFileOf(folder).c_str(), L"wb"));
  if (!qv::CloseWritten(stream)) {
    SetQvMiddleError(QVMDL_ERR_CLS_CREATE_FILE);
    return false;
  }
  return true;
}

bool QvClassificationParamSet::Destroy(const std::wstring& folder) {
  QvNamedMutex mutex(QvClassificationParam::kMutexName);
  QvNamedMutex::Hold hold(mutex);
  const uint32_t code = EmptyFolder(folder);
  if (code == QVMDL_SUCCESS) return true;
  SetQvMiddleError(code);
  return false;
}
