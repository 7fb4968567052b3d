#include "app/foundation/CertificateQuestion.h"

#include "engine/public/foundation/QvPlatformHooks.h"
#include "platform/ui/MessageBox.h"

bool AskAboutCertificate(const wchar_t* /*host*/) {
  return MessageBoxW(nullptr, L"サーバー証明書が無効です。続行しますか?", L"確認", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void InstallCertificateQuestion() { SetCertificateQuestion(&AskAboutCertificate); }
