// Small file-system queries and the program's own location. Any thread.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

bool DirectoryExists(const std::wstring& path);
bool FileExists(const std::wstring& path);
// Creates a folder and every missing parent; true when it exists afterwards.
bool ForceDirectories(const std::wstring& path);
// The first folder of `path`, past its first `trustedChars` characters (a folder the system names,
// or the drive's root), or the path itself, that is a junction or a symbolic link (a reparse point
// whose tag the system does not give counts as one; a cloud file's does not); empty when none is.
// With `trustedChars` the path's length, whether the path itself is such a link. An elevated agent writes nothing
// through such a link: any program of the user could have put it in place of a folder of the user's.
std::wstring LinkOnPath(const std::wstring& path, std::size_t trustedChars);
// Whether the file is a link of any kind: a reparse point (a symbolic link, a junction) or one
// name of several hard links. Any program of the user may make such a name stand for a file the
// user may not read; an agent that packs or rewrites the file would read or write that one.
// True also when the file cannot be asked.
bool IsLinkedFile(const std::wstring& path);
// The short (8.3) form of an existing path; empty when the system has none for it.
std::wstring ShortPathName(const std::wstring& path);
// The full path of a loaded module (null: the running executable); empty on failure.
std::wstring ModuleFileName(void* module);
// The running executable's full path, and its folder with a trailing "\".
std::wstring ProgramPath();
std::wstring ProgramFolder();
// A program of the system by its full path: "<system folder>\\<name>" (System32) or, with
// `windowsFolder`, "<Windows folder>\\<name>"; empty when the folder cannot be had. Never a name
// for the search path, where a program of the user's could stand in for it.
std::wstring SystemProgram(const wchar_t* name, bool windowsFolder = false);
// The file's bytes, at most `limit` of them; empty when it cannot be opened. Others may go on
// writing it meanwhile.
std::string ReadFileBytes(const std::wstring& path, std::size_t limit = static_cast<std::size_t>(-1));
// Writes every byte to an open file, in as many calls as it takes; false at the first failure.
bool WriteAll(HANDLE file, std::string_view bytes);
