#include "platform/testing/Seams.h"

#include "platform/inet/InetSeam.h"
#include "platform/kernel/ClockSeam.h"
#include "platform/kernel/FileSeam.h"
#include "platform/kernel/MemorySeam.h"
#include "platform/kernel/Time.h"
#include "platform/ui/MessageBoxSeam.h"
#include "platform/xml/Sax.h"

namespace qv::testing {

void ResetSeams() {
  file_seam::Reset();
  clock_seam::Reset();
  memory_seam::Reset();
  msgbox_seam::Reset();
  net_seam::Reset();
  xml_seam::SetReaderAvailable(true);
}

void SetFreeSpace(ULONGLONG bytes) { file_seam::SetFreeSpace(bytes); }
void ClearFreeSpace() { file_seam::ClearFreeSpace(); }
void InjectFileFault(const std::wstring& devicePath, DWORD error, int times) {
  file_seam::InjectFault(devicePath, error, times);
}
void ClearFileFaults() { file_seam::ClearFaults(); }
int FileFaultHits(const std::wstring& devicePath) { return file_seam::FaultHits(devicePath); }

void SetClock(const SYSTEMTIME& utc) {
  FILETIME ft{};
  if (!SystemTimeToFileTime(&utc, &ft)) return;
  clock_seam::FixAt((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}
void AdvanceClock(LONGLONG milliseconds) { clock_seam::Advance(milliseconds); }
void ClearClock() { clock_seam::Clear(); }
void SetTimeZoneBias(LONG minutes) { clock_seam::SetBias(minutes); }

void SetAvailableMemory(size_t bytes) { memory_seam::SetAvailable(bytes); }

void SetQuestionAnswer(int answer) { msgbox_seam::SetAnswer(answer); }
void SetQuestionHandler(std::function<int(const std::wstring& text, const std::wstring& caption)> h) {
  msgbox_seam::SetHandler(std::move(h));
}
int QuestionCount() { return msgbox_seam::QuestionCount(); }

void MapHost(const std::string& host, WORD port, WORD targetPort, const std::string& targetAddress) {
  net_seam::MapHost(host, port, targetPort, targetAddress);
}
void ClearHostTable() { net_seam::ClearHostTable(); }
void SetTrustedCaFile(const std::string& hostPath) { net_seam::SetTrustedCaFile(hostPath); }
void InjectNetFault(NetCall call, int wsaError, int times) { net_seam::InjectNetFault(call, wsaError, times); }
void SetNetworkWait(DWORD stepMilliseconds, DWORD steps) { net_seam::SetNetworkWait(stepMilliseconds, steps); }
void SetConnMgrStatus(DWORD status) { net_seam::SetConnMgrStatus(status); }
void SetConnMgrEstablishHandler(std::function<DWORD(const GUID& destination, DWORD timeoutMs)> h) {
  net_seam::SetConnMgrEstablishHandler(std::move(h));
}
void FailConnMgrStatusQuery(bool fail) { net_seam::FailConnMgrStatusQuery(fail); }
void SetConnMgrDestinations(std::vector<std::pair<std::wstring, GUID>> destinations) {
  net_seam::SetConnMgrDestinations(std::move(destinations));
}
ConnMgrRecord ConnMgrCalls() { return net_seam::ConnMgrCalls(); }
void ResetNetworkSeams() { net_seam::Reset(); }

long InetLiveObjects() { return inet_seam::LiveObjects(); }

void SetSaxReaderAvailable(bool available) { xml_seam::SetReaderAvailable(available); }

}  // namespace qv::testing
