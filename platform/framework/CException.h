// The framework's exceptions. As in the framework, they are thrown as
// pointers to heap objects and the catcher calls Delete(); the TRY/CATCH
// macros are kept for code written with them.
#pragma once

#include "platform/framework/CObject.h"

class QV_PLATFORM_API CException : public CObject {
 public:
  // Frees the exception when it was made to be freed (every one we throw).
  void Delete();
  // The text of the error, copied into `message` (at most `maxChars` units
  // with the terminator); FALSE when there is none.
  virtual BOOL GetErrorMessage(LPTSTR message, UINT maxChars, UINT* helpContext = nullptr) const;
  // Shows the text in a message box; `messageId` is the text when the
  // exception has none.
  virtual int ReportError(UINT type = MB_OK, UINT messageId = 0) const;

  BOOL m_bAutoDelete;

 protected:
  explicit CException(BOOL autoDelete = TRUE) : m_bAutoDelete(autoDelete) {}
  // The framework text this exception reports, 0 for none.
  virtual UINT MessageId() const { return 0; }
};

// A failure already reported to the user (data exchange and validation).
class QV_PLATFORM_API CUserException : public CException {};

// A call given an argument outside what it accepts.
class QV_PLATFORM_API CInvalidArgException : public CException {
 protected:
  UINT MessageId() const override;
};

class QV_PLATFORM_API CNotSupportedException : public CException {
 protected:
  UINT MessageId() const override;
};

class QV_PLATFORM_API CMemoryException : public CException {
 protected:
  UINT MessageId() const override;
};

[[noreturn]] QV_PLATFORM_API void AfxThrowInvalidArgException();
[[noreturn]] QV_PLATFORM_API void AfxThrowUserException();
[[noreturn]] QV_PLATFORM_API void AfxThrowNotSupportedException();
[[noreturn]] QV_PLATFORM_API void AfxThrowMemoryException();

#define TRY try
#define CATCH(class_name, e) catch (class_name * e)
#define AND_CATCH(class_name, e) catch (class_name * e)
#define CATCH_ALL(e) catch (CException * e)
#define AND_CATCH_ALL(e) catch (CException * e)
#define END_CATCH
#define END_CATCH_ALL
