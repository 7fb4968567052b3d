// The engine's hooks into the platform: the receive timer, dialling, and the
// server-certificate check installed on secure sockets.
#pragma once

#include <cstdint>
#include <string>

#include "engine/public/QvMiddleExport.h"
#include "platform/base/WinTypes.h"

QVMIDDLE_API uint32_t SetRecvTimer(bool on, int minutes);
QVMIDDLE_API int ExecDialing(int mode, const std::wstring& number);
// The secure sockets' certificate hook. `argument` is the host name as 8-bit
// text; `chain` points to a BLOB-shaped record {ULONG cbSize; BYTE* pBlobData}
// holding the DER leaf certificate; flag bit 0 says the issuer is unknown.
// Returns 0 to accept, 5 when the certificate cannot be decoded, 10 to refuse.
// A certificate that names its host and is within its validity period but
// whose issuer is unknown is put to the question below.
extern "C" QVMIDDLE_API DWORD certificateValidationCallback(DWORD type, void* argument, DWORD chainLength,
                                                            void* chain, DWORD flags);

// Who is asked whether to go on with a server whose certificate's issuer is
// unknown (`host` is the server's name); true goes on, and the answer is then
// remembered for that host and certificate. The program installs its question
// box; with none installed the answer is no. Called on a session's thread.
using CertificateQuestion = bool (*)(const wchar_t* host);
QVMIDDLE_API void SetCertificateQuestion(CertificateQuestion ask);
