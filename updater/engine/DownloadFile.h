// The ".dl" file a download writes its body into, for the updater's and the console's downloaders.
// libcurl hands the body over in pieces of at most 16 KB; they gather in a 1 MB block that is
// written with one WriteFile when full, so a large file costs a few hundred writes, not thousands,
// and a small one a single write at the end. A failed write is remembered: Write then refuses the
// rest, and Finish reports it, the last block's write included. The object owns the file handle
// and the block; it is used from the transfer's thread only.
#pragma once
#include <windows.h>
#include <memory>
#include <string>

class CDownloadFile {
public:
    CDownloadFile() = default;
    ~CDownloadFile();

    // Creates the file, or empties an existing one. False when it cannot be opened.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }
    // Takes the next piece of the body. False once a write has failed: the transfer must end.
    bool Write(const void* data, size_t size);
    // Puts everything received so far into the file now, e.g. while the transfer stalls.
    void Flush();
    // Writes the rest and closes the file. False when any write failed or the file was not open;
    // size receives the file's length (-1 when unknown).
    bool Finish(long long* size);
    // Closes the file and drops what was not written yet (a failed transfer's file is deleted).
    void Close();

    CDownloadFile(const CDownloadFile&) = delete;
    CDownloadFile& operator=(const CDownloadFile&) = delete;

private:
    static constexpr size_t kBlock = 1024 * 1024;

    bool WriteOut(const char* data, size_t size);

    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::unique_ptr<char[]> m_block;   // allocated at the first piece
    size_t m_used = 0;
    bool m_failed = false;
};
