// Process-wide values of the console: the café of the successful login and the counters of the
// update timer. The login writes the café values before the main frame exists; afterwards they
// are only read, so the update timer thread reads them without a lock.
#pragma once
#include <stdint.h>
#include <string>

class CPlayerInfoDlg;

// The logged-in café's record, filled from the bar_login reply.
struct CNetbarInfo {
    int32_t bar_id = 0;
    std::string code;
    std::string strname;
    std::string address;
    std::string person;
    std::string phone;
    std::string address_url;
};

extern std::string g_loginNetbarCode;  // non-empty once a login succeeded
extern std::string g_boundNetbarCode;  // the café whose phone was bound in the SMS step
extern const std::string g_appVersion;
extern CNetbarInfo g_netbarInfo;
extern CPlayerInfoDlg* g_playerInfoDlg;  // the customer page, while it exists (UI thread)
extern uint32_t g_updateTickCount;     // touched by the update timer thread only
extern volatile long g_timerBusy;      // 1 while a timer routine runs (interlocked)
