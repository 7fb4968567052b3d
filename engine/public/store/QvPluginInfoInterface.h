// The engine plug-ins of the plug-in folder ("PluginPath"), listed for the
// message window's plug-in menu. A plug-in is a library exporting
// "GetPluginInfo", which hands out its identification text and its name.
#pragma once

#include <map>
#include <string>

#include "engine/public/QvMiddleExport.h"

class QvPluginInfo {};

class QVMIDDLE_API QvPluginInfoInterface {
 public:
  QvPluginInfoInterface();
  ~QvPluginInfoInterface();
  QvPluginInfoInterface(const QvPluginInfoInterface&) = delete;
  QvPluginInfoInterface& operator=(const QvPluginInfoInterface&) = delete;

  // Fills `plugins` with the full path of each plug-in library and its name.
  // `key` is the key below HKEY_CURRENT_USER holding "PluginPath" (empty:
  // "Software\Norvale\QvMail"). False when the folder is not named, or when
  // two plug-ins give the same name.
  bool GetPluginDlls(std::map<std::wstring, std::wstring>* plugins, const std::wstring& key);

 private:
  QvPluginInfo* info_;
};
