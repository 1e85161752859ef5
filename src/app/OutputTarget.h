#pragma once

#include <string>
#include <vector>

// Whether an output file would overwrite the dump being read, for every command that
// writes a file (the CSV export, the DDL save) in both front ends.

// The files that make up the dump at dumpPath: the file itself, or for a directory dump
// (its folder or its toc.dat) every file in that folder.
std::vector<std::u16string> DumpFilesOf(const std::u16string& dumpPath);

// True when output is none of the dump's files, compared as files (through symbolic and
// hard links). Otherwise "出力先に読み込み中のダンプファイルは指定できません(PATH)。"
// naming output. A missing output is never one of them.
bool CheckOutputIsNotDump(const std::u16string& dumpPath, const std::u16string& output,
                          std::u16string& error);
