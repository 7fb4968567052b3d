// The mail list's move target sheet and rule editor, made of the settings
// pages that choose a folder and edit a rule, installed into the mail list's
// runner table.
#pragma once

void InstallMailListSheets();
