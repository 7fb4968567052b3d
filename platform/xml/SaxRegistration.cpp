// Puts the SAX2 reader in the COM class table when the platform loads, and
// keeps the seam that makes a device without the reader.
#include <atomic>
#include <new>

#include "platform/com/Com.h"
#include "platform/xml/Sax.h"
#include "platform/xml/SaxReader.h"

namespace {

std::atomic<bool> gReaderAvailable{true};

HRESULT CreateReader(REFIID iid, void** object) {
  if (!gReaderAvailable) return E_NOINTERFACE;
  auto* reader = new (std::nothrow) qv::xml::SaxReader();
  if (reader == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = reader->QueryInterface(iid, object);
  reader->Release();  // the caller's reference, if any, keeps it
  return hr;
}

const bool gRegistered = [] {
  qv::com::RegisterComClass(CLSID_SAXXMLReader, CreateReader);
  return true;
}();

}  // namespace

namespace qv::xml_seam {
void SetReaderAvailable(bool available) { gReaderAvailable = available; }
}  // namespace qv::xml_seam
