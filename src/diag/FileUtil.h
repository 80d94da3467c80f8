#pragma once

#include <string>
#include <string_view>

// Small POSIX file helpers shared by the log and the profile store.
namespace fileutil
{
// Writes everything, retrying short writes and interrupts; false on any error.
bool WriteAll(int fd, std::string_view data);
// The folder part of a path ("." when there is none).
std::string DirectoryOf(const std::string& path);
// Creates the folder and its parents; true when it exists afterwards.
bool MakeDirectories(const std::string& path);
// Replaces the file in one step: a temporary file beside it is written, synced and renamed over it.
bool ReplaceFile(const std::string& path, std::string_view content);
} // namespace fileutil
