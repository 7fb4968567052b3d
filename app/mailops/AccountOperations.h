// Account, settings and classification-rule operations: each opens the
// engine face it needs, calls it, shows the engine-error box over the main
// window on failure and deletes the face again.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/mailops/QvAccountSettings.h"
#include "platform/framework/CString.h"
#include "platform/framework/Containers.h"

class QvAccountInfoInterface;

// The account in the program's data folder, or null (the error shown).
QvAccountInfoInterface* OpenAccountInfoByName(const std::wstring& name);
// Read or write the fields the record's mask selects; a null account gives false.
bool GetAccountAttributes(QvAccountInfoInterface* account, QvAccountInfoInterface::Attributes* record);
bool SetAccountAttributes(QvAccountInfoInterface* account, QvAccountInfoInterface::Attributes& record);

// Every field and both signatures; false for an empty name or when a read fails.
bool LoadAccountSettings(const std::wstring& name, QvAccountSettings* settings);
// Creates the account when it does not exist yet (and removes it again when
// its settings cannot be written); registers it in the platform's list.
bool SaveAccountSettings(const std::wstring& name, const QvAccountSettings& settings);
bool DeleteAccount(const std::wstring& name);
bool RenameAccount(const std::wstring& oldName, const std::wstring& newName);

// The accounts in the engine's order; registers each one the platform's list
// lacks, then the account-extension library. The answer is the extension's:
// true when it is missing or its registration returns 0.
bool GetAccountNames(std::vector<std::wstring>* names);
bool GetAccountNames(CStringArray& names);
int GetAccountCount();

// batch 1: the round-receive accounts; batch 0: the periodic ones.
bool GetPeriodicRecvAccounts(std::vector<std::wstring>* names, int batch);
bool SetPeriodicRecvAccounts(const std::vector<std::wstring>& names, int batch);
bool GetAccountsWithoutSavedPassword(std::vector<std::wstring>* names);
// 1 when the account receives only the first lines of each mail.
int GetAccountReceiveKind(const std::wstring& name);
bool GetAccountSenderAddress(const std::wstring& name, std::wstring* address);

bool GetPeriodicRecvSetting(bool* enabled, unsigned* minutes);
bool SetPeriodicRecvSetting(bool enabled, unsigned minutes);
// Sets or clears the notification that starts the receive-timer program.
void ApplyRecvTimer(bool enabled, int minutes);
bool SetDefaultMailer(int flag);
bool GetAccountNameByPhoneNumber(const std::wstring& number, wchar_t* name, size_t size);
void GetOwnPhoneNumber(wchar_t* buffer, size_t size);
bool ChangeSystemIni(const std::wstring& name);

// The current account's rules, read into the program's rows (repairing
// rules written before they had a direction); false without an account.
bool LoadClassificationRules();
void GetClassificationRules(std::vector<QvClassificationRuleRow>* rows);
void GetClassificationRuleNames(std::vector<std::wstring>* names);
bool SaveClassificationRules(const std::vector<QvClassificationRuleRow>& rows);
// Only while fewer than kMaxClassificationRules rows exist.
bool AddClassificationRule(const QvClassificationRuleRow& rule);
