#include "ServerBaseUrl.h"

const char g_serverBaseUrl[] = "https://" TOLLVANE_CAFE_HOST;
