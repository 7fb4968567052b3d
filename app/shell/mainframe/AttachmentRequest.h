// Attachments another program hands over with "-attach": the list goes in a
// file of its own for each request, made new (never an old one taken over)
// in the temporary folder, and its name travels with the mailto in
// "CmdArgs". Only paths that name an existing file are listed, each on one
// line; the message window takes the list and deletes its file.
#pragma once

#include <string>
#include <vector>

// The list files' names begin so; a number follows.
constexpr const wchar_t* kAttachmentListPrefix = L"_tmpQvMailAttachFiles.";

enum class AttachmentListResult {
  kWritten,     // `listPath` names the new file
  kNoneTaken,   // no path named an existing file: no file was made
  kWriteFailed, // the file could not be made or written (and is gone again)
};

// Writes the paths that name existing regular files, in their order, one a
// line (CP932, CR LF); a path that would not stay one line, or that the code
// page cannot hold, is left out. `taken` counts the listed ones.
AttachmentListResult WriteAttachmentList(const std::vector<std::wstring>& paths, std::wstring* listPath,
                                         size_t* taken = nullptr);

// "CmdArgs" for a mailto with or without a list: the mailto, then on a line
// of its own the list file.
std::wstring JoinComposeArgs(const std::wstring& mailto, const std::wstring& listPath);
// The other way; the list path is empty when there is none.
void SplitComposeArgs(const std::wstring& args, std::wstring* mailto, std::wstring* listPath);
// Reads and deletes a list file named by "CmdArgs"; only a file of our own
// name in the temporary folder is read. False when there is none to read.
bool TakeAttachmentList(const std::wstring& listPath, std::vector<std::wstring>* paths);
