// The application framework in one include: the application and its
// windows, frames and dialogs with data exchange, message maps and command
// routing, strings and collections, drawing objects, menus and the
// framework's exceptions.
#pragma once

#include "platform/framework/AfxResource.h"
#include "platform/framework/AfxStrings.h"
#include "platform/framework/CButton.h"
#include "platform/framework/CCmdUI.h"
#include "platform/framework/CComboBox.h"
#include "platform/framework/CDC.h"
#include "platform/framework/CDialog.h"
#include "platform/framework/CEdit.h"
#include "platform/framework/CException.h"
#include "platform/framework/CFrameWnd.h"
#include "platform/framework/CGdiObject.h"
#include "platform/framework/CListCtrl.h"
#include "platform/framework/CImageList.h"
#include "platform/framework/CListBox.h"
#include "platform/framework/CMenu.h"
#include "platform/framework/CPropertyPage.h"
#include "platform/framework/CPropertySheet.h"
#include "platform/framework/CProgressCtrl.h"
#include "platform/framework/CStatic.h"
#include "platform/framework/CString.h"
#include "platform/framework/CTreeCtrl.h"
#include "platform/framework/CWaitCursor.h"
#include "platform/framework/CWinApp.h"
#include "platform/framework/CWnd.h"
#include "platform/framework/Containers.h"
#include "platform/framework/DataExchange.h"
#include "platform/framework/MessageMap.h"
