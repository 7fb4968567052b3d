#include "platform/framework/CException.h"

#include <algorithm>

#include "platform/framework/AfxStrings.h"
#include "platform/framework/CString.h"
#include "platform/framework/CWinApp.h"

void CException::Delete() {
  if (m_bAutoDelete) delete this;
}

BOOL CException::GetErrorMessage(LPTSTR message, UINT maxChars, UINT* helpContext) const {
  if (helpContext) *helpContext = 0;
  const CString text = MessageId() ? AfxLoadFrameworkString(MessageId()) : CString();
  if (message && maxChars > 0) {
    const size_t n = std::min(static_cast<size_t>(text.GetLength()), static_cast<size_t>(maxChars - 1));
    std::copy_n(static_cast<LPCTSTR>(text), n, message);
    message[n] = 0;
  }
  return !text.IsEmpty();
}

int CException::ReportError(UINT type, UINT messageId) const {
  TCHAR text[512];
  if (GetErrorMessage(text, 512)) return AfxMessageBox(text, type);
  return AfxMessageBox(messageId ? messageId : AFX_IDP_INTERNAL_FAILURE, type);
}

UINT CInvalidArgException::MessageId() const { return AFX_IDS_INVALID_ARG_EXCEPTION; }
UINT CNotSupportedException::MessageId() const { return AFX_IDS_NOT_SUPPORTED_EXCEPTION; }
UINT CMemoryException::MessageId() const { return AFX_IDS_MEMORY_EXCEPTION; }

void AfxThrowInvalidArgException() { throw new CInvalidArgException; }
void AfxThrowUserException() { throw new CUserException; }
void AfxThrowNotSupportedException() { throw new CNotSupportedException; }
void AfxThrowMemoryException() { throw new CMemoryException; }
