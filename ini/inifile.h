#pragma once
// The INI document store: an INI file in memory with its sections and items in file order,
// the reader and writer of the file format, and typed get/put access.
//
// Results: getters return 1 when the item exists and was converted, 0 when the section or item
// is absent (the output is left unchanged), and a negative code otherwise; other operations
// return 0 or a positive count on success and a negative code on failure.

#include <cstddef>
#include <cstdint>
#include <memory>

struct IniDocument;

// Result codes.
inline constexpr int kIniNullArgument = -65;
inline constexpr int kIniOutOfMemory = -12;
inline constexpr int kIniCannotOpenFile = -5001;
inline constexpr int kIniInvalidInt = -5021;
inline constexpr int kIniInvalidUInt = -5022;
inline constexpr int kIniInvalidDouble = -5023;
inline constexpr int kIniInvalidBoolean = -5024;
inline constexpr int kIniNotWritable = -95;
inline constexpr int kIniDiskFull = -97;
inline constexpr int kIniWriteError = -93;

IniDocument* Ini_New(int automaticSorting);
void Ini_Dispose(IniDocument* doc);

int Ini_ReadFromFile(IniDocument* doc, const char* path);
// A null path writes to standard output. The target is replaced atomically.
int Ini_WriteToFile(IniDocument* doc, const char* path);

int Ini_SectionExists(IniDocument* doc, const char* section);
int Ini_ItemExists(IniDocument* doc, const char* section, const char* item);

int Ini_PutInt(IniDocument* doc, const char* section, const char* item, int32_t value);
int Ini_PutUInt(IniDocument* doc, const char* section, const char* item, uint32_t value);
int Ini_PutDouble(IniDocument* doc, const char* section, const char* item, double value);
int Ini_PutBoolean(IniDocument* doc, const char* section, const char* item, int value);
int Ini_PutString(IniDocument* doc, const char* section, const char* item, const char* value);

int Ini_GetInt(IniDocument* doc, const char* section, const char* item, int32_t* value);
int Ini_GetUInt(IniDocument* doc, const char* section, const char* item, uint32_t* value);
int Ini_GetDouble(IniDocument* doc, const char* section, const char* item, double* value);
int Ini_GetBoolean(IniDocument* doc, const char* section, const char* item, int* value);
int Ini_GetStringIntoBuffer(IniDocument* doc, const char* section, const char* item, char* buffer,
                            size_t bufferSize);

int Ini_SetTokens(IniDocument* doc, char sectionStart, char sectionEnd, const char* separator,
                  const char* commentMarker);
int Ini_SetDuplicateChecking(IniDocument* doc, int on);

// Listing in document order, 1-based. A name is returned as a pointer into the document, valid
// until the document next changes. Walking positions in order costs one step per position.
int Ini_NumberOfSections(IniDocument* doc);
// 1 and *name set when the section exists, 0 when n is out of range.
int Ini_NthSectionName(IniDocument* doc, int n, const char** name);
// The items of the first section of that name; 0 when the section does not exist.
int Ini_NumberOfItems(IniDocument* doc, const char* section);
// 1 and *name set when the item exists, 0 when the section or position does not.
int Ini_NthItemName(IniDocument* doc, const char* section, int n, const char** name);

// Owns a document for its scope.
struct IniDocumentDeleter {
  void operator()(IniDocument* doc) const { Ini_Dispose(doc); }
};
using IniDocumentPtr = std::unique_ptr<IniDocument, IniDocumentDeleter>;
