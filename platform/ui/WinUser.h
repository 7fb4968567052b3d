// The window system in one include: windows and painting, messages and
// timers, input, the caret, the clipboard, the device's metrics, dialogs,
// message boxes, the standard controls, menus and accelerators.
#pragma once

#include "platform/ui/CommCtrl.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/Edit.h"
#include "platform/ui/controls/RichEdit.h"
#include "platform/ui/controls/ComboBox.h"
#include "platform/ui/controls/ListBox.h"
#include "platform/ui/controls/ScrollBar.h"
#include "platform/ui/controls/Static.h"
#include "platform/ui/dialog/Dialog.h"
#include "platform/ui/input/Caret.h"
#include "platform/ui/input/Clipboard.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/input/Ime.h"
#include "platform/ui/input/Keyboard.h"
#include "platform/ui/menu/Accelerator.h"
#include "platform/ui/menu/Menu.h"
#include "platform/ui/metrics/Metrics.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/window/Messages.h"
#include "platform/ui/window/Paint.h"
#include "platform/ui/window/Window.h"
