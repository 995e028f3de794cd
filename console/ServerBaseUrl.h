// Where the console finds the café service: "https://" followed by the café host chosen at build
// time (CMake cache variable TOLLVANE_CAFE_HOST), no trailing slash. Every café-service URL is
// this base followed by a path.
#pragma once

extern const char g_serverBaseUrl[];
