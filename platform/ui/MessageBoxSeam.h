// What a message box does when no one is there to see it: a question gets a
// fixed answer (IDNO by default) or a callback's, which receives text and
// caption; any other box is acknowledged at once. The answer kShowBox lets
// boxes run as real modal dialogs instead (every box when it is the fixed
// answer, that question when the callback gives it), for a test to answer
// with injected taps and keys once the shown-handler has seen the box up.
#pragma once

#include <functional>
#include <string>

#include "platform/base/WinTypes.h"

namespace qv::msgbox_seam {

constexpr int kShowBox = -1;

using Handler = std::function<int(const std::wstring& text, const std::wstring& caption)>;
using ShownHandler = std::function<void(HWND box)>;

QV_PLATFORM_API void SetAnswer(int answer);
QV_PLATFORM_API void SetHandler(Handler h);
// Called on the box's thread when a shown box is up and waits for input.
QV_PLATFORM_API void SetShownHandler(ShownHandler h);
QV_PLATFORM_API int QuestionCount();
QV_PLATFORM_API void Reset();

// The answer for a box, or kShowBox; a question is counted.
int Decide(const std::wstring& text, const std::wstring& caption, bool question);
void BoxShown(HWND box);

}  // namespace qv::msgbox_seam
