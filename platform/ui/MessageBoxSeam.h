// The answer a question box gets when no one is there to see it: a fixed
// answer (IDNO by default) or a callback that receives text and caption.
#pragma once

#include <functional>
#include <string>

#include "platform/base/WinTypes.h"

namespace qv::msgbox_seam {

using Handler = std::function<int(const std::wstring& text, const std::wstring& caption)>;

QV_PLATFORM_API void SetAnswer(int answer);
QV_PLATFORM_API void SetHandler(Handler h);
QV_PLATFORM_API int QuestionCount();
QV_PLATFORM_API void Reset();

// Asks the seam and counts the question.
int Ask(const std::wstring& text, const std::wstring& caption);

}  // namespace qv::msgbox_seam
