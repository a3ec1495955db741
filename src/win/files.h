// Small file-system queries and the program's own location. Any thread.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

bool DirectoryExists(const std::wstring& path);
bool FileExists(const std::wstring& path);
// Creates a folder and every missing parent; true when it exists afterwards.
bool ForceDirectories(const std::wstring& path);
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
// Writes every byte to an open file, in as many calls as it takes; false at the first failure.
bool WriteAll(HANDLE file, std::string_view bytes);
