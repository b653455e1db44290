// Maintenance of the destination folder around the extract pass.
#pragma once

// Moves an existing PSAPI.DLL aside as NVPSAPI.DLL (never over an existing one).
void RenameOldPsapi(const wchar_t* destinationFolder);
// Deletes *_CODE.* files ending in .LNG or .CHM: an unchecked language's
// files left by an earlier installation.
void DeleteLanguageFiles(const wchar_t* folder, const char* code);
