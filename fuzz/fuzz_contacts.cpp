// The contacts database is read back after crashes and from whatever a
// device holds: any bytes must read as whole records, the queries and the
// matching call must stay inside them, and a save over any file must leave
// a file that reads back as what was saved.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/FuzzDeviceFile.h"
#include "platform/pim/Pim.h"


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteFuzzDeviceFile(qv::pim::kContactsFile, data, size);
  qv::pim::PimApplication book;
  if (!book.Logon()) abort();
  const std::optional<qv::pim::ItemCollection> items = book.Items(olFolderContacts);
  if (!items) abort();
  const auto kept = items->Restrict(L" [Email1Address] <> \"\" OR [Email2Address] <> \"\" OR [Email3Address] <> \"\" ");
  for (int i = 1; kept && i <= kept->Count(); ++i) {
    if (!kept->Item(i)->HasEmail()) abort();
  }
  const CEOID found = book.FindMatchingContact(L"taro@example.jp", FMCF_FINDEMAIL);
  if (found != 0 && !book.GetItemFromOid(found)) abort();

  qv::pim::Contact fresh;
  fresh.lastName = L"山\"田\\";
  fresh.email[0] = L"new\r\n@example.jp";
  const CEOID oid = book.Add(fresh);
  if (oid == 0) return 0;  // every oid taken
  const auto after = book.Items(olFolderContacts);
  if (!after || after->Count() != items->Count() + 1) abort();
  for (int i = 1; i <= items->Count(); ++i) {
    if (!(*items->Item(i) == *after->Item(i))) abort();
  }
  fresh.oid = oid;
  if (!(*after->Item(after->Count()) == fresh)) abort();
  return 0;
}
