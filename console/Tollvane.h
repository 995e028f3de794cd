// The console's periodic update check. Every tenth timer tick (the thread calls OnThreadRun once a
// second) it acts on its state: once the system has been up three minutes, and then every three
// hours, it asks the update service whether a new version exists; on an announcement it makes
// sure that the announced updater is present as Core.exe beside the console (downloading and
// verifying it when its MD5 differs), starts it with the café id and stays quiet while it runs.
// Runs on the timer thread only and touches no window. Tests set the clock and the directory.
#pragma once
#include <stdint.h>
#include <string>
#include "ConsoleCoreDataFile.h"
#include "PeriodicThread.h"

// The check_update reply.
struct CCheckUpdateInfo {
    int32_t code = 0;
    std::string version;
    std::string msg;
    std::string version_code;
    std::string version_update_url;
    std::string version_update_md5;
    std::string version_info_url;
};

class CTollvane : public Pellmora::CWorkThreadBaseHandler {
public:
    enum State { kIdle = 0, kCheck = 1, kAccepted = 2, kFetchAndStart = 3, kUpdaterRunning = 4 };
    static const uint32_t kFirstCheckUptimeMs = 180000;  // three minutes after system start
    static const uint32_t kCheckPeriodMs = 10800000;     // three hours
    static const uint32_t kLaunchWaitMs = 10000;

    typedef uint32_t (*Clock)();

    CTollvane();
    ~CTollvane() override;

    int32_t OnThreadRun() override;

    void SetUserAnswer(bool accepted) { m_answer = accepted ? 1 : 2; }
    // The id of the first process with that image name (any letter case), 0 when none.
    static uint32_t FindProcess(const wchar_t* imageName, uint32_t* pid = nullptr);

    // Test seams: the tick-count source and the program directory (with a trailing backslash).
    void SetClock(Clock clock) { m_clock = clock ? clock : &DefaultClock; }
    void SetDirectory(const std::wstring& directory);

    int32_t GetState() const { return m_state; }
    uint32_t GetLastEnd() const { return m_lastEnd; }
    const CCheckUpdateInfo& GetAnnouncement() const { return m_announcement; }

    // The check_update URL for the café id and version code.
    static std::string CheckUpdateUrl(uint32_t netbarId, const std::string& versionCode);
    // One request and its reply; false for a failed transfer, an unreadable reply or code <= 0.
    bool RequestUpdateInfo(const std::string& versionCode, CCheckUpdateInfo& reply);
    bool CheckUpdate();
    bool DownloadAndRun();

private:
    static uint32_t DefaultClock();
    void EndCheck(uint32_t now);
    void SetState(int32_t state);
    // Starts the updater and waits up to 10 s for it to end, then up to 10 s for it to become
    // idle; both waits end early when the thread is told to stop.
    void LaunchUpdater(const std::string& path, const std::string& args);

    int32_t m_state = kIdle;
    uint32_t m_lastEnd = 0;
    int32_t m_answer = 0;
    uint32_t m_acceptedAt = 0;
    Pellmora::CCoreDataFile m_versionFile;
    CCheckUpdateInfo m_announcement;
    Clock m_clock = &DefaultClock;
    std::string m_directory;  // ANSI, with a trailing backslash
};
