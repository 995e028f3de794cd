#include "ConsoleGlobals.h"

std::string g_loginNetbarCode;
std::string g_boundNetbarCode;
const std::string g_appVersion = "V20170904";
CNetbarInfo g_netbarInfo;
CPlayerInfoDlg* g_playerInfoDlg = nullptr;
uint32_t g_updateTickCount = 0;
volatile long g_timerBusy = 0;
