#include "ConsoleCoreDataFile.h"

#include "CoreDataFile.h"  // the engine's reader: cipher, mutex lock, split

namespace Pellmora {

const char CCoreDataFile::kMutexName[] = "UpdateFile_Pellmora";

CCoreDataFile::CCoreDataFile(int32_t mode) : m_file(new ::CCoreDataFile(mode, kMutexName))
{
}

CCoreDataFile::~CCoreDataFile() = default;

void CCoreDataFile::SetPath(const std::string& path)
{
    m_file->SetPath(path);
}

bool CCoreDataFile::Get(std::string& versionText, std::string& versionCode)
{
    return m_file->Get(versionText, versionCode);
}

bool CCoreDataFile::Read(uint32_t timeoutMs)
{
    return m_file->Read(timeoutMs);
}

}  // namespace Pellmora
