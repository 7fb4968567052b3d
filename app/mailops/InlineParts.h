// One rule for the content ids of a decorated mail's inline parts, kept by
// everything that reads or writes them: the record's inline-file list holds
// each part's reference as the HTML text writes it ("cid:" and the id, in
// lower case, as the HTML control compares them); the mail itself carries
// the bare id (its Content-ID without "cid:"). Reading a stored mail, saving
// a draft or a template, resolving a picture of the body and inserting one
// all go through these, so a stored file reads back with its pictures found.
#pragma once

#include <string>

#include "outside/Markwright/QvHtmlFileList.h"

// The record's reference for a content id (bare, or already "cid:..." in
// any case); empty for an empty id.
std::wstring InlinePartReference(const std::wstring& contentId);
// The id the mail carries for a record's reference: without "cid:".
std::wstring MailContentId(const std::wstring& reference);
// The inline part an HTML source names: only "cid:" sources (any case)
// name a part; null for anything else or an unknown id.
const QvHtmlFile* FindInlinePart(const QvHtmlFileList& files, const std::wstring& source);
