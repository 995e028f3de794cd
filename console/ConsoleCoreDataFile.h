// The console's read-only view of the shared version file data\core.dat (version text "@" version
// code, enciphered). Reading, deciphering and splitting are the engine's; the console guards the
// file with its own named mutex "UpdateFile_Pellmora", so it never blocks the updater, which uses
// "UpdateFile". A torn read fails to decipher or to split and counts as unreadable.
#pragma once
#include <stdint.h>
#include <memory>
#include <string>

class CCoreDataFile;  // the engine's accessor

namespace Pellmora {

class CCoreDataFile {
public:
    static const char kMutexName[];

    // The mutex is "UpdateFile_Pellmora" whatever the mode; the console passes 0.
    explicit CCoreDataFile(int32_t mode = 0);
    ~CCoreDataFile();

    // Narrow path in the ANSI code page.
    void SetPath(const std::string& path);
    // The cached pair when both parts are known, else Read(1000) first; false when the file cannot
    // be read or a part is empty. First: version text; second: version code.
    bool Get(std::string& versionText, std::string& versionCode);
    // Waits up to `timeoutMs` for the mutex, then reads the whole file.
    bool Read(uint32_t timeoutMs);

    CCoreDataFile(const CCoreDataFile&) = delete;
    CCoreDataFile& operator=(const CCoreDataFile&) = delete;

private:
    std::unique_ptr<::CCoreDataFile> m_file;
};

}  // namespace Pellmora
