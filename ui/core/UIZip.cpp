#include "UIZip.h"
#include <minizip/unzip.h>
#include <string.h>
#include <wchar.h>

namespace Veneer {

namespace {

const int kZipHandleTag = 1;
const unsigned kChunkSize = 16384;
const unsigned kMaxLocalExtra = 0xFFFF;

struct TZipHandle
{
    int nKind;
    CZipReader* pReader;
};

ZRESULT g_lastResult = ZR_OK;

ZRESULT Remember(ZRESULT zr)
{
    g_lastResult = zr;
    return zr;
}

// ---- The byte source as the unzip library sees it ----

TZipSource* ZipSourceOpen(const void* source, unsigned length, int kind, ZRESULT* result)
{
    HANDLE h = INVALID_HANDLE_VALUE;
    if (kind == ZIP_FILENAME) {
        if (source == NULL) {
            *result = ZR_ARGS;
            return NULL;
        }
        h = CreateFileW(static_cast<const wchar_t*>(source), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, NULL);
        if (h == INVALID_HANDLE_VALUE) {
            *result = ZR_NOFILE;
            return NULL;
        }
    }
    else if (kind == ZIP_HANDLE) {
        if (!DuplicateHandle(GetCurrentProcess(), (HANDLE)source, GetCurrentProcess(), &h, 0, FALSE,
                             DUPLICATE_SAME_ACCESS)) {
            *result = ZR_DUPHANDLE;
            return NULL;
        }
    }
    else if (kind == ZIP_MEMORY) {
        if (source == NULL && length != 0) {
            *result = ZR_ARGS;
            return NULL;
        }
    }
    else {
        *result = ZR_ARGS;
        return NULL;
    }

    TZipSource* zs = new TZipSource();
    zs->bIsHandle = kind != ZIP_MEMORY;
    zs->hFile = zs->bIsHandle ? h : NULL;
    zs->bReadError = false;
    zs->dwStartOffset = 0;
    zs->pBuffer = NULL;
    zs->dwLength = 0;
    zs->dwPosition = 0;
    if (zs->bIsHandle) {
        zs->bCanSeek = GetFileType(h) == FILE_TYPE_DISK;
        if (zs->bCanSeek) {
            LARGE_INTEGER zero = {}, pos = {};
            if (SetFilePointerEx(h, zero, &pos, FILE_CURRENT))
                zs->dwStartOffset = (DWORD)pos.QuadPart;
        }
    }
    else {
        zs->bCanSeek = true;
        zs->pBuffer = static_cast<const BYTE*>(source);
        zs->dwLength = length;
    }
    *result = ZR_OK;
    return zs;
}

void ZipSourceClose(TZipSource* zs)
{
    if (zs->bIsHandle && zs->hFile != NULL && zs->hFile != INVALID_HANDLE_VALUE)
        CloseHandle(zs->hFile);
    zs->hFile = NULL;
}

voidpf ZCALLBACK SourceOpen(voidpf opaque, const void* filename, int mode)
{
    // The "file name" handed to the library is the already opened source itself.
    return const_cast<void*>(filename);
}

uLong ZCALLBACK SourceRead(voidpf opaque, voidpf stream, void* buf, uLong size)
{
    TZipSource* zs = static_cast<TZipSource*>(stream);
    if (zs->bIsHandle) {
        DWORD done = 0;
        if (!ReadFile(zs->hFile, buf, size, &done, NULL)) {
            zs->bReadError = true;
            return 0;
        }
        return done;
    }
    DWORD avail = zs->dwPosition < zs->dwLength ? zs->dwLength - zs->dwPosition : 0;
    if (size > avail)
        size = avail;
    if (size != 0)
        memcpy(buf, zs->pBuffer + zs->dwPosition, size);
    zs->dwPosition += size;
    return size;
}

uLong ZCALLBACK SourceWrite(voidpf opaque, voidpf stream, const void* buf, uLong size)
{
    return 0;
}

ZPOS64_T ZCALLBACK SourceTell(voidpf opaque, voidpf stream)
{
    TZipSource* zs = static_cast<TZipSource*>(stream);
    if (!zs->bIsHandle)
        return zs->dwPosition;
    if (!zs->bCanSeek)
        return 0;
    LARGE_INTEGER zero = {}, pos = {};
    if (!SetFilePointerEx(zs->hFile, zero, &pos, FILE_CURRENT))
        return (ZPOS64_T)-1;
    return (ZPOS64_T)(pos.QuadPart - zs->dwStartOffset);
}

long ZCALLBACK SourceSeek(voidpf opaque, voidpf stream, ZPOS64_T offset, int origin)
{
    TZipSource* zs = static_cast<TZipSource*>(stream);
    if (!zs->bCanSeek)
        return -1;
    if (zs->bIsHandle) {
        LARGE_INTEGER dist, pos;
        DWORD method;
        if (origin == ZLIB_FILEFUNC_SEEK_SET) {
            dist.QuadPart = (LONGLONG)offset + zs->dwStartOffset;
            method = FILE_BEGIN;
        }
        else if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
            dist.QuadPart = (LONGLONG)offset;
            method = FILE_CURRENT;
        }
        else if (origin == ZLIB_FILEFUNC_SEEK_END) {
            dist.QuadPart = (LONGLONG)offset;
            method = FILE_END;
        }
        else {
            return -1;
        }
        return SetFilePointerEx(zs->hFile, dist, &pos, method) ? 0 : -1;
    }
    LONGLONG target;
    if (origin == ZLIB_FILEFUNC_SEEK_SET)
        target = (LONGLONG)offset;
    else if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        target = (LONGLONG)zs->dwPosition + (LONGLONG)offset;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        target = (LONGLONG)zs->dwLength + (LONGLONG)offset;
    else
        return -1;
    if (target < 0 || target > (LONGLONG)zs->dwLength)
        return -1;
    zs->dwPosition = (DWORD)target;
    return 0;
}

int ZCALLBACK SourceClose(voidpf opaque, voidpf stream)
{
    ZipSourceClose(static_cast<TZipSource*>(stream));
    return 0;
}

int ZCALLBACK SourceError(voidpf opaque, voidpf stream)
{
    return static_cast<TZipSource*>(stream)->bReadError ? 1 : 0;
}

// ---- Helpers ----

void DosTimeToFileTime(uLong dosDate, FILETIME* ft)
{
    FILETIME local = {};
    if (!DosDateTimeToFileTime(HIWORD(dosDate), LOWORD(dosDate), &local) || !LocalFileTimeToFileTime(&local, ft)) {
        ft->dwLowDateTime = 0;
        ft->dwHighDateTime = 0;
    }
}

void UnixTimeToFileTime(DWORD t, FILETIME* ft)
{
    ULONGLONG v = ((ULONGLONG)t + 11644473600ULL) * 10000000ULL;
    ft->dwLowDateTime = (DWORD)v;
    ft->dwHighDateTime = (DWORD)(v >> 32);
}

DWORD ReadLE32(const BYTE* p)
{
    return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}

// The "UT" block of a local extra field: a flag byte and up to three 32-bit Unix times. Every
// read stays inside the block and inside the field.
void ApplyUnixTimes(const BYTE* extra, unsigned len, TZipEntryA* ze)
{
    unsigned pos = 0;
    while (pos + 4 <= len) {
        unsigned id = extra[pos] | (extra[pos + 1] << 8);
        unsigned size = extra[pos + 2] | (extra[pos + 3] << 8);
        unsigned data = pos + 4;
        if (id == 0x5455) {
            unsigned end = data + size;
            if (end > len)
                end = len;
            if (data >= end)
                return;
            BYTE flags = extra[data];
            unsigned p = data + 1;
            if ((flags & 1) && p + 4 <= end) {
                UnixTimeToFileTime(ReadLE32(extra + p), &ze->mtime);
                p += 4;
            }
            if ((flags & 2) && p + 4 <= end) {
                UnixTimeToFileTime(ReadLE32(extra + p), &ze->atime);
                p += 4;
            }
            if ((flags & 4) && p + 4 <= end)
                UnixTimeToFileTime(ReadLE32(extra + p), &ze->ctime);
            return;
        }
        pos = data + size;
    }
}

DWORD AttributesOf(uLong external)
{
    DWORD attr = FILE_ATTRIBUTE_NORMAL;
    if ((external & 0x40000000) || (external & 0x10))
        attr |= FILE_ATTRIBUTE_DIRECTORY;
    if (external & 0x20)
        attr |= FILE_ATTRIBUTE_ARCHIVE;
    if (external & 0x2)
        attr |= FILE_ATTRIBUTE_HIDDEN;
    if (external & 0x4)
        attr |= FILE_ATTRIBUTE_SYSTEM;
    bool unixWritable = (external & 0x00800000) != 0;
    bool dosReadOnly = (external & 0x1) != 0;
    if (!(unixWritable && !dosReadOnly))
        attr |= FILE_ATTRIBUTE_READONLY;
    return attr;
}

bool IsSeparator(wchar_t ch)
{
    return ch == L'/' || ch == L'\\';
}

bool IsAbsolutePath(const wchar_t* p)
{
    return IsSeparator(p[0]) || (p[0] != 0 && p[1] == L':');
}

// True when a path component is exactly "..".
bool HasParentComponent(const wchar_t* p)
{
    const wchar_t* start = p;
    for (;;) {
        if (*p == 0 || IsSeparator(*p)) {
            if (p - start == 2 && start[0] == L'.' && start[1] == L'.')
                return true;
            if (*p == 0)
                return false;
            start = p + 1;
        }
        ++p;
    }
}

// Creates a directory and its missing parents, one level at a time, parents first.
void EnsureDirectory(const wchar_t* path)
{
    if (path[0] == 0)
        return;
    DWORD attr = GetFileAttributesW(path);
    if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY))
        return;
    size_t len = wcslen(path);
    wchar_t* copy = new wchar_t[len + 1];
    wcscpy(copy, path);
    wchar_t* last = NULL;
    for (wchar_t* p = copy; *p; ++p)
        if (IsSeparator(*p))
            last = p;
    if (last != NULL && last != copy) {
        *last = 0;
        EnsureDirectory(copy);
    }
    CreateDirectoryW(path, NULL);
    delete[] copy;
}

// root + relative, separators trimmed at the end; NULL when it does not fit.
bool JoinPath(const wchar_t* root, const wchar_t* rel, wchar_t* out, size_t cch)
{
    size_t a = wcslen(root), b = wcslen(rel);
    if (a + b + 1 > cch)
        return false;
    wcscpy(out, root);
    wcscpy(out + a, rel);
    size_t n = a + b;
    while (n > a && IsSeparator(out[n - 1]))
        out[--n] = 0;
    return true;
}

bool AnsiToWide(const char* src, wchar_t* dst, int cch)
{
    memset(dst, 0, cch * sizeof(wchar_t));
    if (src[0] == 0)
        return true;
    return MultiByteToWideChar(CP_ACP, 0, src, -1, dst, cch - 1) != 0;
}

int CompareNames(const char* a, const char* b, bool ignoreCase)
{
    for (;; ++a, ++b) {
        unsigned char ca = (unsigned char)*a, cb = (unsigned char)*b;
        if (ignoreCase) {
            if (ca >= 'A' && ca <= 'Z')
                ca = ca - 'A' + 'a';
            if (cb >= 'A' && cb <= 'Z')
                cb = cb - 'A' + 'a';
        }
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}

ZRESULT FromLibrary(int err, const TZipSource* zs)
{
    if (err == UNZ_OK)
        return ZR_OK;
    if (err == UNZ_ERRNO || (zs != NULL && zs->bReadError))
        return ZR_READ;
    if (err == UNZ_PARAMERROR)
        return ZR_ARGS;
    return ZR_CORRUPT;
}

TZipHandle* ToHandle(HZIP hz, ZRESULT* result)
{
    TZipHandle* h = static_cast<TZipHandle*>(hz);
    if (h == NULL) {
        *result = ZR_ARGS;
        return NULL;
    }
    if (h->nKind != kZipHandleTag) {
        *result = ZR_ZMODE;
        return NULL;
    }
    return h;
}

} // namespace

// ---- CZipReader ----

CZipReader::CZipReader()
    : m_hUnzip(NULL), m_nCurrentMember(-1), m_nCachedIndex(-1), m_pSource(NULL), m_nLibraryIndex(-1),
      m_nMemberCount(0)
{
    memset(&m_CachedEntry, 0, sizeof(m_CachedEntry));
    m_CachedEntry.index = -1;
    m_szRootFolder[0] = 0;
}

CZipReader::~CZipReader()
{
    Close();
}

ZRESULT CZipReader::Open(const void* source, unsigned length, int kind)
{
    if (m_hUnzip != NULL)
        return ZR_ALREADYOPEN;
    if (kind != ZIP_HANDLE && kind != ZIP_FILENAME && kind != ZIP_MEMORY)
        return ZR_ARGS;

    DWORD n = GetCurrentDirectoryW(MAX_PATH - 1, m_szRootFolder);
    if (n == 0 || n >= MAX_PATH - 1)
        m_szRootFolder[0] = 0;
    else if (!IsSeparator(m_szRootFolder[n - 1]))
        wcscat(m_szRootFolder, L"\\");

    ZRESULT zr;
    TZipSource* zs = ZipSourceOpen(source, length, kind, &zr);
    if (zs == NULL)
        return zr;
    if (zs->bIsHandle && !zs->bCanSeek) {
        ZipSourceClose(zs);
        delete zs;
        return ZR_SEEK;
    }

    zlib_filefunc64_def funcs = {};
    funcs.zopen64_file = SourceOpen;
    funcs.zread_file = SourceRead;
    funcs.zwrite_file = SourceWrite;
    funcs.ztell64_file = SourceTell;
    funcs.zseek64_file = SourceSeek;
    funcs.zclose_file = SourceClose;
    funcs.zerror_file = SourceError;
    funcs.opaque = NULL;
    unzFile uf = unzOpen2_64(zs, &funcs);
    if (uf == NULL) {
        // The library closed the source already on its way out.
        bool readError = zs->bReadError;
        ZipSourceClose(zs);
        delete zs;
        return readError ? ZR_READ : ZR_CORRUPT;
    }
    unz_global_info64 gi = {};
    if (unzGetGlobalInfo64(uf, &gi) != UNZ_OK || gi.number_entry > 0x7FFFFFFF) {
        unzClose(uf);
        delete zs;
        return ZR_CORRUPT;
    }
    m_hUnzip = uf;
    m_pSource = zs;
    m_nMemberCount = (int)gi.number_entry;
    m_nCurrentMember = -1;
    m_nCachedIndex = -1;
    m_nLibraryIndex = m_nMemberCount > 0 ? 0 : -1;
    return ZR_OK;
}

ZRESULT CZipReader::Close()
{
    CloseCurrentMember();
    if (m_hUnzip != NULL) {
        unzClose(static_cast<unzFile>(m_hUnzip));
        m_hUnzip = NULL;
    }
    if (m_pSource != NULL) {
        ZipSourceClose(m_pSource);
        delete m_pSource;
        m_pSource = NULL;
    }
    m_nCachedIndex = -1;
    m_nLibraryIndex = -1;
    m_nMemberCount = 0;
    return ZR_OK;
}

int CZipReader::GetMemberCount() const
{
    return m_nMemberCount;
}

void CZipReader::CloseCurrentMember()
{
    if (m_nCurrentMember != -1 && m_hUnzip != NULL)
        unzCloseCurrentFile(static_cast<unzFile>(m_hUnzip));
    m_nCurrentMember = -1;
}

ZRESULT CZipReader::GoToMember(int index)
{
    unzFile uf = static_cast<unzFile>(m_hUnzip);
    if (uf == NULL || index < 0 || index >= m_nMemberCount)
        return ZR_ARGS;
    if (m_nLibraryIndex < 0 || index < m_nLibraryIndex) {
        int err = unzGoToFirstFile(uf);
        if (err != UNZ_OK) {
            m_nLibraryIndex = -1;
            return FromLibrary(err, m_pSource);
        }
        m_nLibraryIndex = 0;
    }
    while (m_nLibraryIndex < index) {
        int err = unzGoToNextFile(uf);
        if (err != UNZ_OK) {
            m_nLibraryIndex = -1;
            return err == UNZ_END_OF_LIST_OF_FILE ? ZR_CORRUPT : FromLibrary(err, m_pSource);
        }
        ++m_nLibraryIndex;
    }
    return ZR_OK;
}

ZRESULT CZipReader::OpenMember(int index)
{
    ZRESULT zr = GoToMember(index);
    if (zr != ZR_OK)
        return zr;
    int err = unzOpenCurrentFile(static_cast<unzFile>(m_hUnzip));
    if (err != UNZ_OK)
        return FromLibrary(err, m_pSource);
    m_nCurrentMember = index;
    return ZR_OK;
}

ZRESULT CZipReader::GetItem(int index, TZipEntryA* ze)
{
    if (ze == NULL || m_hUnzip == NULL)
        return ZR_ARGS;
    if (index < -1 || index >= m_nMemberCount)
        return ZR_ARGS;
    CloseCurrentMember();
    if (index == -1) {
        memset(ze, 0, sizeof(*ze));
        ze->index = m_nMemberCount;
        return ZR_OK;
    }
    if (m_nCachedIndex == index) {
        *ze = m_CachedEntry;
        return ZR_OK;
    }
    ZRESULT zr = GoToMember(index);
    if (zr != ZR_OK)
        return zr;

    unzFile uf = static_cast<unzFile>(m_hUnzip);
    unz_file_info64 fi = {};
    TZipEntryA entry = {};
    int err = unzGetCurrentFileInfo64(uf, &fi, entry.name, sizeof(entry.name) - 1, NULL, 0, NULL, 0);
    if (err != UNZ_OK)
        return FromLibrary(err, m_pSource);
    entry.name[sizeof(entry.name) - 1] = 0;

    // The local header's extra field may hold Unix times; reading it checks the local header too.
    err = unzOpenCurrentFile(uf);
    if (err != UNZ_OK)
        return FromLibrary(err, m_pSource);
    BYTE* extra = NULL;
    int extraLen = unzGetLocalExtrafield(uf, NULL, 0);
    if (extraLen > 0 && (unsigned)extraLen <= kMaxLocalExtra) {
        extra = new BYTE[extraLen];
        extraLen = unzGetLocalExtrafield(uf, extra, (unsigned)extraLen);
    }
    unzCloseCurrentFile(uf);

    entry.index = index;
    entry.attr = AttributesOf(fi.external_fa);
    DosTimeToFileTime(fi.dosDate, &entry.mtime);
    entry.atime = entry.mtime;
    entry.ctime = entry.mtime;
    if (extra != NULL) {
        if (extraLen > 0)
            ApplyUnixTimes(extra, (unsigned)extraLen, &entry);
        delete[] extra;
    }
    entry.comp_size = (DWORD)fi.compressed_size;
    entry.unc_size = (DWORD)fi.uncompressed_size;

    m_CachedEntry = entry;
    m_nCachedIndex = index;
    *ze = entry;
    return ZR_OK;
}

ZRESULT CZipReader::Find(const char* name, bool ignoreCase, int* index, TZipEntryA* ze)
{
    if (index != NULL)
        *index = -1;
    if (m_hUnzip == NULL || name == NULL)
        return ZR_ARGS;
    CloseCurrentMember();
    unzFile uf = static_cast<unzFile>(m_hUnzip);
    size_t nameLen = strlen(name);
    int found = -1;
    for (int i = 0; i < m_nMemberCount; ++i) {
        ZRESULT zr = GoToMember(i);
        if (zr != ZR_OK)
            return zr;
        unz_file_info64 fi = {};
        char member[MAX_PATH] = {};
        int err = unzGetCurrentFileInfo64(uf, &fi, member, sizeof(member) - 1, NULL, 0, NULL, 0);
        if (err != UNZ_OK)
            return FromLibrary(err, m_pSource);
        if (fi.size_filename != nameLen)
            continue;
        if (CompareNames(member, name, ignoreCase) == 0) {
            found = i;
            break;
        }
    }
    if (found < 0)
        return ZR_NOTFOUND;
    TZipEntryA entry;
    ZRESULT zr = GetItem(found, &entry);
    if (zr != ZR_OK)
        return zr;
    if (index != NULL)
        *index = found;
    if (ze != NULL)
        *ze = entry;
    return ZR_OK;
}

ZRESULT CZipReader::UnzipToHandle(HANDLE hTarget, const TZipEntryA& ze)
{
    unzFile uf = static_cast<unzFile>(m_hUnzip);
    if (unzOpenCurrentFile(uf) != UNZ_OK)
        return ZR_WRITE;
    BYTE* buffer = new BYTE[kChunkSize];
    ZRESULT zr = ZR_OK;
    for (;;) {
        int n = unzReadCurrentFile(uf, buffer, kChunkSize);
        if (n < 0) {
            zr = ZR_WRITE;
            break;
        }
        if (n == 0)
            break;
        DWORD written = 0;
        if (!WriteFile(hTarget, buffer, (DWORD)n, &written, NULL) || written != (DWORD)n) {
            zr = ZR_WRITE;
            break;
        }
    }
    delete[] buffer;
    unzCloseCurrentFile(uf);
    if (zr == ZR_OK && GetFileType(hTarget) == FILE_TYPE_DISK)
        SetFileTime(hTarget, &ze.ctime, &ze.atime, &ze.mtime);
    return zr;
}

ZRESULT CZipReader::Unzip(int index, void* target, unsigned length, int kind)
{
    if (m_hUnzip == NULL)
        return ZR_ARGS;
    if (kind == ZIP_MEMORY) {
        if (target == NULL)
            return ZR_ARGS;
        if (m_nCurrentMember < 0 || index != m_nCurrentMember) {
            CloseCurrentMember();
            if (index < 0 || index >= m_nMemberCount)
                return ZR_ARGS;
            ZRESULT zr = OpenMember(index);
            if (zr != ZR_OK)
                return zr;
        }
        unzFile uf = static_cast<unzFile>(m_hUnzip);
        int n = unzReadCurrentFile(uf, target, length);
        if (n > 0)
            return ZR_MORE;
        CloseCurrentMember();
        return n == 0 ? ZR_OK : ZR_FLATE;
    }
    if (kind != ZIP_HANDLE && kind != ZIP_FILENAME)
        return ZR_ARGS;

    CloseCurrentMember();
    if (index < 0 || index >= m_nMemberCount || target == NULL)
        return ZR_ARGS;
    TZipEntryA ze;
    ZRESULT zr = GetItem(index, &ze);
    if (zr != ZR_OK)
        return zr;

    if (ze.attr & FILE_ATTRIBUTE_DIRECTORY) {
        if (kind == ZIP_FILENAME) {
            // Member names come from the archive: an absolute one or one that climbs with ".."
            // would reach outside the root folder, so it creates nothing.
            wchar_t name[MAX_PATH];
            wchar_t path[MAX_PATH * 2];
            if (AnsiToWide(ze.name, name, MAX_PATH) && name[0] != 0 && !IsAbsolutePath(name) &&
                !HasParentComponent(name) && JoinPath(m_szRootFolder, name, path, MAX_PATH * 2))
                EnsureDirectory(path);
        }
        return ZR_OK;
    }

    if (kind == ZIP_HANDLE)
        return UnzipToHandle(static_cast<HANDLE>(target), ze);

    const wchar_t* fileName = static_cast<const wchar_t*>(target);
    wchar_t path[MAX_PATH * 2];
    const wchar_t* createName = fileName;
    if (!IsAbsolutePath(fileName)) {
        // Relative targets are placed under the root folder, where their directories go.
        if (!JoinPath(m_szRootFolder, fileName, path, MAX_PATH * 2))
            return ZR_NOFILE;
        createName = path;
        if (!HasParentComponent(fileName)) {
            const wchar_t* lastSep = NULL;
            for (const wchar_t* p = fileName; *p; ++p)
                if (IsSeparator(*p))
                    lastSep = p;
            if (lastSep != NULL && lastSep != fileName) {
                wchar_t dir[MAX_PATH * 2];
                size_t rootLen = wcslen(m_szRootFolder);
                size_t dirLen = lastSep - fileName;
                if (rootLen + dirLen + 1 <= MAX_PATH * 2) {
                    wcscpy(dir, m_szRootFolder);
                    wcsncpy(dir + rootLen, fileName, dirLen);
                    dir[rootLen + dirLen] = 0;
                    EnsureDirectory(dir);
                }
            }
        }
    }
    HANDLE h = CreateFileW(createName, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, ze.attr & ~FILE_ATTRIBUTE_DIRECTORY,
                           NULL);
    if (h == INVALID_HANDLE_VALUE)
        return ZR_NOFILE;
    zr = UnzipToHandle(h, ze);
    CloseHandle(h);
    return zr;
}

// ---- The handle interface ----

HZIP OpenZipHandle(const void* source, unsigned length, int kind)
{
    CZipReader* reader = new CZipReader();
    ZRESULT zr = reader->Open(source, length, kind);
    Remember(zr);
    if (zr != ZR_OK) {
        delete reader;
        return NULL;
    }
    TZipHandle* h = new TZipHandle;
    h->nKind = kZipHandleTag;
    h->pReader = reader;
    return h;
}

ZRESULT FindZipEntry(HZIP hz, const wchar_t* name, bool ignoreCase, int* index, TZipEntry* ze)
{
    ZRESULT zr;
    TZipHandle* h = ToHandle(hz, &zr);
    if (h == NULL)
        return Remember(zr);
    if (index != NULL)
        *index = -1;
    if (name == NULL)
        return Remember(ZR_ARGS);
    if (wcslen(name) >= 256)
        return Remember(ZR_NOTFOUND);
    char ansi[MAX_PATH] = {};
    if (name[0] != 0 && WideCharToMultiByte(CP_ACP, 0, name, -1, ansi, MAX_PATH - 1, NULL, NULL) == 0)
        return Remember(ZR_NOTFOUND);
    for (char* p = ansi; *p; ++p) {
        // A double-byte character's trail byte can equal '\\': convert lead/trail pairs untouched.
        if (IsDBCSLeadByte((BYTE)*p) && p[1] != 0) {
            ++p;
            continue;
        }
        if (*p == '\\')
            *p = '/';
    }
    TZipEntryA entryA;
    int found = -1;
    zr = h->pReader->Find(ansi, ignoreCase, &found, &entryA);
    if (index != NULL)
        *index = found;
    if (zr != ZR_OK)
        return Remember(zr);
    if (ze != NULL) {
        ze->index = entryA.index;
        AnsiToWide(entryA.name, ze->name, MAX_PATH);
        ze->attr = entryA.attr;
        ze->atime = entryA.atime;
        ze->ctime = entryA.ctime;
        ze->mtime = entryA.mtime;
        ze->comp_size = entryA.comp_size;
        ze->unc_size = entryA.unc_size;
    }
    return Remember(ZR_OK);
}

ZRESULT ExtractZipEntry(HZIP hz, int index, void* target, unsigned length, int kind)
{
    ZRESULT zr;
    TZipHandle* h = ToHandle(hz, &zr);
    if (h == NULL)
        return Remember(zr);
    return Remember(h->pReader->Unzip(index, target, length, kind));
}

ZRESULT CloseZipHandle(HZIP hz)
{
    ZRESULT zr;
    TZipHandle* h = ToHandle(hz, &zr);
    if (h == NULL)
        return Remember(zr);
    zr = h->pReader->Close();
    delete h->pReader;
    h->nKind = 0;
    delete h;
    return Remember(zr);
}

ZRESULT GetLastZipResult()
{
    return g_lastResult;
}

} // namespace Veneer
