#include "engine/foundation/QvAccountInfo.h"

#include <vector>

#include "engine/foundation/MailMemory.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/foundation/QvSafeReplace.h"
#include "platform/base/WideText.h"
#include "platform/codepage/CodePage.h"

namespace {

using Attributes = QvAccountAttributes;

// How one field of the record is kept in "AccountInfo.ini".
struct FieldDef {
  enum Type { kNone, kText, kNumber, kSigned, kFlag, kGuid };
  Type type;
  const wchar_t* key;
  uint32_t defaultValue;  // numbers and truth values
  std::wstring Attributes::*text;
  uint32_t Attributes::*number;
  int32_t Attributes::*signedNumber;
  bool Attributes::*flag;
};

constexpr FieldDef Text(const wchar_t* key, std::wstring Attributes::*field) {
  return {FieldDef::kText, key, 0, field, nullptr, nullptr, nullptr};
}
constexpr FieldDef Number(const wchar_t* key, uint32_t value, uint32_t Attributes::*field) {
  return {FieldDef::kNumber, key, value, nullptr, field, nullptr, nullptr};
}
constexpr FieldDef Signed(const wchar_t* key, int32_t value, int32_t Attributes::*field) {
  return {FieldDef::kSigned, key, static_cast<uint32_t>(value), nullptr, nullptr, field, nullptr};
}
constexpr FieldDef Flag(const wchar_t* key, bool value, bool Attributes::*field) {
  return {FieldDef::kFlag, key, value ? 1u : 0u, nullptr, nullptr, nullptr, field};
}
constexpr FieldDef Guid(const wchar_t* key) { return {FieldDef::kGuid, key, 0, nullptr, nullptr, nullptr, nullptr}; }
constexpr FieldDef NotStored() { return {FieldDef::kNone, nullptr, 0, nullptr, nullptr, nullptr, nullptr}; }

// In mask-bit order.
const FieldDef kFields[Attributes::kFieldCount] = {
    Text(L"strSenderName", &Attributes::strSenderName),
    Text(L"strSenderAddress", &Attributes::strSenderAddress),
    Text(L"strPopServerName", &Attributes::strPopServerName),
    Number(L"uiPopServerPort", 110, &Attributes::uiPopServerPort),
    Text(L"strPopUserName", &Attributes::strPopUserName),
    Text(L"strPopPasswd", &Attributes::strPopPasswd),
    Flag(L"bAPOPEnabled", false, &Attributes::bAPOPEnabled),
    Flag(L"bPopPasswdSavingEnabled", false, &Attributes::bPopPasswdSavingEnabled),
    Flag(L"bMessageLeavingEnabled", false, &Attributes::bMessageLeavingEnabled),
    Flag(L"bPartialRetrievingEnabled", false, &Attributes::bPartialRetrievingEnabled),
    Number(L"uiPartialRetrievingLines", 10, &Attributes::uiPartialRetrievingLines),
    Text(L"strSmtpServerName", &Attributes::strSmtpServerName),
    Number(L"uiSmtpServerPort", 25, &Attributes::uiSmtpServerPort),
    Flag(L"bUseSameUserPass", false, &Attributes::bUseSameUserPass),
    Text(L"strSmtpUserName", &Attributes::strSmtpUserName),
    Text(L"strSmtpPasswd", &Attributes::strSmtpPasswd),
    Flag(L"bSmtpPasswdSavingEnabled", false, &Attributes::bSmtpPasswdSavingEnabled),
    Guid(L"guidNetworkSetting"),
    Flag(L"bAutoMailRetrievingEnabled", false, &Attributes::bAutoMailRetrievingEnabled),
    Flag(L"bPopBeforeSmtpEnabled", false, &Attributes::bPopBeforeSmtpEnabled),
    Number(L"ulPopBeforeSmtpLatencySec", 2, &Attributes::ulPopBeforeSmtpLatencySec),
    Flag(L"bSmtpAuthEnabled", false, &Attributes::bSmtpAuthEnabled),
    Flag(L"bSendMessageInAMinuteEnabled", true, &Attributes::bSendMessageInAMinuteEnabled),
    Flag(L"bRemoveOldMessageEnabled", false, &Attributes::bRemoveOldMessageEnabled),
    Number(L"ulRemoveOldMessageCnt", 500, &Attributes::ulRemoveOldMessageCnt),
    Text(L"strLastUid", &Attributes::strLastUid),
    Flag(L"bAutoMailRetrievingRetryEnabled", false, &Attributes::bAutoMailRetrievingRetryEnabled),
    Number(L"uiAutoMailRetrievingRetryCnt", 1, &Attributes::uiAutoMailRetrievingRetryCnt),
    Number(L"ulJusinTrayID", 1, &Attributes::ulJusinTrayID),
    Number(L"ulSousinTrayID", 2, &Attributes::ulSousinTrayID),
    Number(L"ulSousinZumiTrayID", 3, &Attributes::ulSousinZumiTrayID),
    Number(L"ulSitagakiTrayID", 4, &Attributes::ulSitagakiTrayID),
    NotStored(),
    Flag(L"bTaccount", false, &Attributes::bTaccount),
    Signed(L"iUseSignature", 1, &Attributes::iUseSignature),
    Flag(L"bUseSignature", true, &Attributes::bUseSignature),
    Flag(L"bJunkaiJushinEnabled", true, &Attributes::bJunkaiJushinEnabled),
    Flag(L"bSmtpSvrAuthEnabled", false, &Attributes::bSmtpSvrAuthEnabled),
    Flag(L"bUseQuotationEnabled", true, &Attributes::bUseQuotationEnabled),
    NotStored(),
    Flag(L"bPeriodicRetrievingEnabled", false, &Attributes::bPeriodicRetrievingEnabled),
    Flag(L"bSSLEnabled", false, &Attributes::bSSLEnabled),
    Text(L"strAccountName", &Attributes::strAccountName),
};

ProfileItem ItemFor(const FieldDef& field) {
  ProfileItem item;
  item.name = field.key;
  switch (field.type) {
    case FieldDef::kNumber:
    case FieldDef::kSigned:
      item.kind = ProfileItem::kNumber;
      item.number = field.defaultValue;
      break;
    case FieldDef::kFlag:
      item.kind = ProfileItem::kBool;
      item.flag = field.defaultValue != 0;
      break;
    default:
      item.kind = ProfileItem::kText;  // texts and the GUID's text; no default text
      break;
  }
  return item;
}

// A group of at most `maxDigits` hexadecimal digits.
bool ParseHexGroup(std::wstring_view group, size_t maxDigits, uint32_t* out) {
  if (group.empty() || group.size() > maxDigits) return false;
  uint32_t value = 0;
  for (wchar_t c : group) {
    const int digit = foundation::HexDigitValue(c);
    if (digit < 0) return false;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  *out = value;
  return true;
}

void AppendHex(std::wstring* out, uint32_t value, int minDigits) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  wchar_t buffer[8];
  int count = 0;
  do {
    buffer[count++] = kDigits[value & 0xF];
    value >>= 4;
  } while (value != 0 && count < 8);
  while (count < minDigits) buffer[count++] = L'0';
  while (count > 0) out->push_back(buffer[--count]);
}

}  // namespace

QvAccountInfo::QvAccountInfo(const std::wstring& folderPath)
    : folderPath_(folderPath), profile_(folderPath + L"\\AccountInfo.ini") {}

QvAccountInfo::~QvAccountInfo() = default;

std::wstring QvAccountInfo::GuidToText(const GUID& guid) {
  std::wstring text;
  AppendHex(&text, guid.Data1, 1);
  text += L'-';
  AppendHex(&text, guid.Data2, 1);
  text += L'-';
  AppendHex(&text, guid.Data3, 1);
  text += L'-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2) text += L'-';
    AppendHex(&text, guid.Data4[i], 2);
  }
  return text;
}

bool QvAccountInfo::GuidFromText(std::wstring_view text, GUID* guid) {
  std::wstring_view groups[5];
  size_t count = 0;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == L'-') {
      if (count == 5) return false;  // more than four separators
      groups[count++] = text.substr(start, i - start);
      start = i + 1;
    }
  }
  if (count != 5) return false;
  uint32_t data1 = 0;
  uint32_t data2 = 0;
  uint32_t data3 = 0;
  if (!ParseHexGroup(groups[0], 8, &data1) || !ParseHexGroup(groups[1], 4, &data2) ||
      !ParseHexGroup(groups[2], 4, &data3)) {
    return false;
  }
  // The fourth "-" is only a separator: the last two groups give the eight
  // bytes, and must give exactly sixteen digits.
  const std::wstring tail = std::wstring(groups[3]) + std::wstring(groups[4]);
  if (tail.size() != 16) return false;
  uint8_t bytes[8];
  for (size_t i = 0; i < 8; ++i) {
    const int high = foundation::HexDigitValue(tail[2 * i]);
    const int low = foundation::HexDigitValue(tail[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    bytes[i] = static_cast<uint8_t>((high << 4) | low);
  }
  guid->Data1 = data1;
  guid->Data2 = static_cast<uint16_t>(data2);
  guid->Data3 = static_cast<uint16_t>(data3);
  for (size_t i = 0; i < 8; ++i) guid->Data4[i] = bytes[i];
  return true;
}

bool QvAccountInfo::GetAccountInfoAttributes(QvAccountAttributes* attributes) {
  if (attributes->MaskEmpty()) {
    SetQvMiddleError(QVMDL_ERR_ACC_READ_NO_MASK);
    return false;
  }
  // The items are the call's own: one account object serves every thread
  // that opened the account (its profile file is locked by its own mutex).
  std::deque<ProfileItem> items;
  std::vector<const FieldDef*> wanted;
  for (uint32_t bit = 0; bit < Attributes::kFieldCount; ++bit) {
    if (!attributes->Selected(bit) || kFields[bit].type == FieldDef::kNone) continue;
    items.push_back(ItemFor(kFields[bit]));
    wanted.push_back(&kFields[bit]);
  }
  if (!profile_.ReadValues(items)) return false;

  for (size_t i = 0; i < wanted.size(); ++i) {
    const FieldDef& field = *wanted[i];
    const ProfileItem& item = items[i];
    switch (field.type) {
      case FieldDef::kText: attributes->*field.text = item.text; break;
      case FieldDef::kNumber: attributes->*field.number = item.number; break;
      case FieldDef::kSigned: attributes->*field.signedNumber = static_cast<int32_t>(item.number); break;
      case FieldDef::kFlag: attributes->*field.flag = item.flag; break;
      case FieldDef::kGuid:
        // An account that never stored a GUID reads fine, with the word telling so.
        if (!GuidFromText(item.text, &attributes->guidNetworkSetting)) SetQvMiddleError(QVMDL_ERR_ACC_GUID_FORMAT);
        break;
      default: break;
    }
  }
  attributes->ClearMask();
  return true;
}

bool QvAccountInfo::SetAccountInfoAttributes(QvAccountAttributes& attributes) {
  if (attributes.MaskEmpty()) {
    SetQvMiddleError(QVMDL_ERR_ACC_WRITE_NO_MASK);
    return false;
  }
  std::deque<ProfileItem> items;
  for (uint32_t bit = 0; bit < Attributes::kFieldCount; ++bit) {
    const FieldDef& field = kFields[bit];
    if (!attributes.Selected(bit) || field.type == FieldDef::kNone) continue;
    ProfileItem item = ItemFor(field);
    switch (field.type) {
      case FieldDef::kText: item.text = attributes.*field.text; break;
      case FieldDef::kNumber: item.number = attributes.*field.number; break;
      case FieldDef::kSigned: item.number = static_cast<uint32_t>(attributes.*field.signedNumber); break;
      case FieldDef::kFlag: item.flag = attributes.*field.flag; break;
      case FieldDef::kGuid: item.text = GuidToText(attributes.guidNetworkSetting); break;
      default: break;
    }
    items.push_back(std::move(item));
  }
  const bool written = profile_.WriteValues(std::move(items));
  attributes.ClearMask();
  if (!written) {
    if (GetQvMiddleError() != QVMDL_ERR_PRF_BATCH_DISK_SPACE) SetQvMiddleError(QVMDL_ERR_ACC_WRITE_FAILED);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Sub-folders

namespace {

struct SubFolderDef {
  const wchar_t* key;
  const wchar_t* name;
  uint32_t code;
};

const SubFolderDef kSubFolders[] = {
    {L"strStorageDirName", L"Storage", QVMDL_ERR_ACC_STORAGE_DIR},
    {L"strClassificationDirName", L"Classification", QVMDL_ERR_ACC_CLASSIFICATION_DIR},
    {L"strSignatureDirName", L"Signature", QVMDL_ERR_ACC_SIGNATURE_DIR},
};

bool IsProfileCode(uint32_t code) { return code >= QVMDL_ERR_PRF_NAME_HAS_EQUAL && code <= QVMDL_ERR_PRF_BATCH_COMMIT; }

// The text of a UTF-16LE file; a trailing odd byte (a cut write) is dropped.
std::wstring WideOf(const std::string& bytes) {
  return qv::Utf16LEToWide(std::string_view(bytes.data(), bytes.size() & ~static_cast<size_t>(1)));
}

}  // namespace

const wchar_t* QvAccountInfo::SubFolderKey(SubFolder which) { return kSubFolders[which].key; }
const wchar_t* QvAccountInfo::SubFolderDefault(SubFolder which) { return kSubFolders[which].name; }

bool QvAccountInfo::IsPlainName(std::wstring_view name) {
  return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:") == std::wstring_view::npos;
}

uint32_t QvAccountInfo::SubFolderPath(SubFolder which, std::wstring* path) {
  const SubFolderDef& def = kSubFolders[which];
  std::wstring name;
  if (!profile_.GetPrivateProfileString(def.key, def.name, &name)) {
    const uint32_t code = GetQvMiddleError();
    return IsProfileCode(code) ? code : def.code;
  }
  if (!IsPlainName(name)) return def.code;
  *path = folderPath_ + L"\\" + name;
  return QVMDL_SUCCESS;
}

// ---------------------------------------------------------------------------
// UID files

bool QvAccountInfo::GetLastUID(std::wstring* uid) {
  std::string bytes;
  DWORD error = 0;
  if (!SafeReadWholeFile(LastUidPath(folderPath_), &bytes, &error)) {
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      SetQvMiddleError(QVMDL_ERR_ACC_LASTUID_READ);
      return false;
    }
    QvAccountAttributes settings;
    settings.Select(Attributes::kLastUid);
    if (!GetAccountInfoAttributes(&settings)) return false;
    *uid = settings.strLastUid;
    return true;
  }
  // The first line; a new account's empty file is an empty UID.
  std::wstring text = WideOf(bytes);
  const size_t end = text.find_first_of(L"\r\n");
  if (end != std::wstring::npos) text.resize(end);
  *uid = std::move(text);
  return true;
}

bool QvAccountInfo::SaveLastUID(const std::string& uid) {
  std::wstring wide;
  if (!uid.empty()) {
    const int units = MultiByteToWideChar(CP_ACP, 0, uid.data(), static_cast<int>(uid.size()), nullptr, 0);
    if (units <= 0) {
      SetQvMiddleError(QVMDL_ERR_ACC_UID_SIZE);
      return false;
    }
    wide.resize(static_cast<size_t>(units));
    if (MultiByteToWideChar(CP_ACP, 0, uid.data(), static_cast<int>(uid.size()), wide.data(), units) != units) {
      SetQvMiddleError(QVMDL_ERR_ACC_UID_CONVERT);
      return false;
    }
  }
  if (SafeWriteWholeFile(LastUidPath(folderPath_), qv::WideToUtf16LE(wide)) != 0) {
    SetQvMiddleError(QVMDL_ERR_ACC_LASTUID_CREATE);
    return false;
  }
  return true;
}

bool QvAccountInfo::GetUIDL(std::list<std::wstring>* uids) {
  uids->clear();
  std::string bytes;
  DWORD error = 0;
  if (!SafeReadWholeFile(UidListPath(folderPath_), &bytes, &error)) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;  // no list yet: an empty one
  }
  std::wstring text = WideOf(bytes);
  // A file cut between CR and LF: no UID holds a CR.
  if (!text.empty() && text.back() == L'\r') text.pop_back();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    if (end > start) uids->emplace_back(text, start, end - start);
    start = end + 2;
  }
  return true;
}

bool QvAccountInfo::SaveUIDL(const std::list<std::wstring>& uids) {
  std::wstring text;
  for (const std::wstring& uid : uids) {
    if (uid.find_first_of(L"\r\n") != std::wstring::npos) {
      SetQvMiddleError(QVMDL_ERR_ACC_UIDL_WRITE);  // a line end inside would split it in two
      return false;
    }
    text += uid;
    text += L"\r\n";
  }
  if (SafeWriteWholeFile(UidListPath(folderPath_), qv::WideToUtf16LE(text)) != 0) {
    SetQvMiddleError(QVMDL_ERR_ACC_UIDL_OPEN);
    return false;
  }
  return true;
}
