// Zip archives holding skins and images: a small handle-based reader over the unzip library.
// An archive comes from a file name, an open file handle or a memory block; members are found by
// name and extracted into memory, to a file or to an open handle.
#pragma once
#include "UIDefs.h"

namespace Veneer {

// Result codes of the zip operations.
enum : DWORD {
    ZR_OK = 0x00000000,
    ZR_DUPHANDLE = 0x00000100,   // duplicating a handle failed
    ZR_NOFILE = 0x00000200,      // opening or creating a file failed
    ZR_WRITE = 0x00000400,       // writing an extracted file (or reading the member for it) failed
    ZR_NOTFOUND = 0x00000500,    // no member of that name
    ZR_MORE = 0x00000600,        // the memory target was filled; the member may continue
    ZR_CORRUPT = 0x00000700,     // no end of central directory, bad local header
    ZR_READ = 0x00000800,        // reading the archive failed
    ZR_ARGS = 0x00010000,        // bad arguments
    ZR_ZMODE = 0x00080000,       // the handle is not a zip-reading handle
    ZR_ALREADYOPEN = 0x01000000, // the archive object is already open
    ZR_SEEK = 0x02000000,        // the source is not a disk file and cannot seek
    ZR_FLATE = 0x05000000,       // decompression failed
};
typedef DWORD ZRESULT;

// Kinds of sources and targets.
enum {
    ZIP_HANDLE = 1,   // an open file handle
    ZIP_FILENAME = 2, // a file name
    ZIP_MEMORY = 3,   // a memory block
};

// The handle that callers hold: a HANDLE-sized pointer to a small tagged record.
typedef HANDLE HZIP;

// A member as callers see it. For the query of index -1, index is the number of members.
struct TZipEntry
{
    int index;
    wchar_t name[MAX_PATH];
    DWORD attr;
    FILETIME atime;
    FILETIME ctime;
    FILETIME mtime;
    DWORD comp_size;
    DWORD unc_size;
};

// The same record with the member name as stored in the archive (ANSI code page).
struct TZipEntryA
{
    int index;
    char name[MAX_PATH];
    DWORD attr;
    FILETIME atime;
    FILETIME ctime;
    FILETIME mtime;
    DWORD comp_size;
    DWORD unc_size;
};

// The byte source under an archive: a duplicated or opened file handle, or a memory block.
struct TZipSource
{
    bool bIsHandle;    // false for memory
    bool bCanSeek;     // a disk file, or memory
    HANDLE hFile;      // owned, closed with the source
    bool bReadError;
    DWORD dwStartOffset; // the handle's file position when the source was opened
    const BYTE* pBuffer; // not owned
    DWORD dwLength;
    DWORD dwPosition;
};

class VENEER_API CZipReader
{
public:
    CZipReader();
    ~CZipReader();

    ZRESULT Open(const void* source, unsigned length, int kind);
    ZRESULT Close();
    ZRESULT GetItem(int index, TZipEntryA* ze);
    ZRESULT Find(const char* name, bool ignoreCase, int* index, TZipEntryA* ze);
    ZRESULT Unzip(int index, void* target, unsigned length, int kind);

private:
    CZipReader(const CZipReader&) = delete;
    CZipReader& operator=(const CZipReader&) = delete;

    void CloseCurrentMember();
    ZRESULT GoToMember(int index);
    ZRESULT OpenMember(int index);
    ZRESULT UnzipToHandle(HANDLE hTarget, const TZipEntryA& ze);
    int GetMemberCount() const;

    void* m_hUnzip;        // the unzip library's handle of the open archive
    int m_nCurrentMember;  // the member open for reading, -1 for none
    TZipEntryA m_CachedEntry;
    int m_nCachedIndex;
    wchar_t m_szRootFolder[MAX_PATH];
    TZipSource* m_pSource;
    int m_nLibraryIndex;   // the member the unzip library is positioned on
    int m_nMemberCount;
};

VENEER_API HZIP OpenZipHandle(const void* source, unsigned length, int kind);
VENEER_API ZRESULT FindZipEntry(HZIP hz, const wchar_t* name, bool ignoreCase, int* index, TZipEntry* ze);
VENEER_API ZRESULT ExtractZipEntry(HZIP hz, int index, void* target, unsigned length, int kind);
VENEER_API ZRESULT CloseZipHandle(HZIP hz);
// The code of the latest of the four calls above.
VENEER_API ZRESULT GetLastZipResult();

} // namespace Veneer
