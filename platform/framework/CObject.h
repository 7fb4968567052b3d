// The root of the framework's classes. Run-time class information is the
// language's own: DYNAMIC_DOWNCAST is dynamic_cast, and the DECLARE/IMPLEMENT
// macros of the run-time class system are kept so that code written against
// them compiles.
#pragma once

#include "platform/framework/AfxTypes.h"

class QV_PLATFORM_API CObject {
 public:
  virtual ~CObject() = default;
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;

 protected:
  CObject() = default;
};

#define DECLARE_DYNAMIC(class_name)
#define DECLARE_DYNCREATE(class_name)
#define IMPLEMENT_DYNAMIC(class_name, base_class_name)
#define IMPLEMENT_DYNCREATE(class_name, base_class_name)
#define DYNAMIC_DOWNCAST(class_name, object) (dynamic_cast<class_name*>(object))
#define STATIC_DOWNCAST(class_name, object) (static_cast<class_name*>(object))
