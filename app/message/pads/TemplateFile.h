// The face-mark file: UTF-16LE text without byte-order-mark handling, one
// template a line, each line ended by CR LF.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Characters a template line holds at most; the rest of a longer line is dropped.
constexpr size_t kTemplateLineMax = 127;

// Reads the file's lines in order: a last line without CR LF is dropped, a
// longer line is cut (never inside a surrogate pair), at most `maxLines`
// lines are read. False when the file cannot be opened.
bool ReadTemplateFile(const std::wstring& path, std::vector<std::wstring>* lines, size_t maxLines = 4096);
// The same reading over a file's bytes already in memory.
void ReadTemplateText(std::string_view bytes, std::vector<std::wstring>* lines, size_t maxLines = 4096);
